// RecordingStreamWriter.h - a stream writer that records every call as text,
// so a test compares what an object wrote call by call, value types included:
//     [ { kind=u16:4 cmp=u16:5 value=u16:3 } ]
// and helpers to make and serialise the library's objects.
#ifndef ZT_TESTS_RECORDING_STREAM_WRITER_H
#define ZT_TESTS_RECORDING_STREAM_WRITER_H

#include "ZtEventLoggerVdlFilter/ZtEventLoggerVdlFilter.h"

#include <gtest/gtest.h>

#include <string>

namespace filter_test {

using namespace ZtAtlCom;
using namespace ZtEventLoggerVdlProxy;

class RecordingStreamWriter final : public IZtStreamWriter {
public:
    std::string text;

    ULONG ZtAddRef() override { return 1; }
    ULONG ZtRelease() override { return 1; }
    HRESULT ZtQueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return ZT_E_NOINTERFACE;
    }

    bool StartObject() override { return Put("{"); }
    bool StartArray() override { return Put("["); }
    bool Key(const char* key) override {
        Put(std::string(key) + "=");
        m_afterKey = true;
        return true;
    }
    bool Value(bool v) override { return Put(v ? "true" : "false"); }
    bool Value(signed char v) override { return Put("i8:" + std::to_string(v)); }
    bool Value(short v) override { return Put("i16:" + std::to_string(v)); }
    bool Value(int v) override { return Put("i32:" + std::to_string(v)); }
    bool Value(long v) override { return Put("i64:" + std::to_string(v)); }
    bool Value(unsigned char v) override { return Put("u8:" + std::to_string(v)); }
    bool Value(unsigned short v) override { return Put("u16:" + std::to_string(v)); }
    bool Value(unsigned int v) override { return Put("u32:" + std::to_string(v)); }
    bool Value(unsigned long v) override { return Put("u64:" + std::to_string(v)); }
    bool Value(float v) override { return Put("f32:" + std::to_string(v)); }
    bool Value(double v) override { return Put("f64:" + std::to_string(v)); }
    bool Value(const char* v) override { return Put("\"" + std::string(v ? v : "") + "\""); }
    bool Value(const GUID& v) override {
        char buffer[39];
        StringFromGUID2(v, buffer, 39);
        return Put(buffer);
    }
    bool EndArray() override { return Put("]"); }
    bool EndObject() override { return Put("}"); }

private:
    bool Put(const std::string& part) {
        if (!text.empty() && !m_afterKey) text += ' ';
        m_afterKey = false;
        text += part;
        return true;
    }
    bool m_afterKey = false;
};

template <class I>
CComPtr<I> Make(const CLSID& clsid) {
    CComPtr<I> object;
    EXPECT_EQ(ZtEventLoggerVdlFilterCreateInstance(clsid, iid_of<I>(),
                                                   reinterpret_cast<void**>(object.ReleaseAndGetAddressOf())),
              S_OK);
    return object;
}

inline CComPtr<IZtEventFilter> NewFilter() { return Make<IZtEventFilter>(CLSID_ZtEventFilter); }

// The serializable of a filter or settings object, queried for I.
template <class I>
ZtComPtrLite<I> SerializableOf(IUnknown* object) {
    CComPtr<IZtStreamSerializableProvider> provider;
    object->QueryInterface(IID_IZtStreamSerializableProvider,
                           reinterpret_cast<void**>(provider.ReleaseAndGetAddressOf()));
    IZtUnknown* unknown = nullptr;
    if (!provider || Failed(provider->GetStreamSerializable(&unknown)) || !unknown) return {};
    void* wanted = nullptr;
    unknown->ZtQueryInterface(iid_of<I>(), &wanted);
    unknown->ZtRelease();
    return ZtComPtrLite<I>(static_cast<I*>(wanted));
}

// What the object writes, or "(refused)" when Serialize fails.
inline std::string Written(IUnknown* object) {
    RecordingStreamWriter writer;
    auto serializable = SerializableOf<IZtStreamSerializable>(object);
    if (!serializable || Failed(serializable->Serialize(&writer)))
        return "(refused)" + (writer.text.empty() ? "" : " " + writer.text);
    return writer.text;
}

// The first validation fault of the object, or "" when it is valid.
inline std::string FaultOf(IUnknown* object) {
    auto validation = SerializableOf<IZtFilterValidation>(object);
    if (!validation) return "(no validation)";
    bool valid = false;
    char* text = nullptr;
    EXPECT_EQ(validation->IsValid(&valid), S_OK);
    EXPECT_EQ(validation->GetValidationError(&text), S_OK);
    std::string fault = text ? text : "";
    SysFreeString(text);
    EXPECT_EQ(valid, fault.empty()) << fault;
    return fault;
}

/* A filter from elsewhere: answers IZtEventFilter alone, counts its calls
 * and fails the one named in failing. */
class ForeignFilter : public CComObjectRootEx<CComMultiThreadModel>,
                      public IDispatchImpl<IZtEventFilter, &IID_IZtEventFilter> {
public:
    BEGIN_COM_MAP(ForeignFilter)
        COM_INTERFACE_ENTRY(IZtEventFilter)
    END_COM_MAP()

    std::string calls;
    std::string failing;

    HRESULT Clear() override { return Call("Clear"); }
    HRESULT AddEventTypeExpression(tagEventTypeEnum, tagZtFilterCompareEnum) override { return Call("Type"); }
    HRESULT AddEventClassExpression(GUID, tagZtFilterCompareEnum) override { return Call("Class"); }
    HRESULT AddEventIdExpression(unsigned int, tagZtFilterCompareEnum) override { return Call("Id"); }
    HRESULT AddSeverityExpression(tagSeverityLevelEnum, tagZtFilterCompareEnum) override { return Call("Severity"); }
    HRESULT AddTimeStampExpression(tagZtTimeStampEnum, long, tagZtFilterCompareEnum) override { return Call("Time"); }
    HRESULT AddSourceGuidExpression(GUID, tagZtFilterCompareEnum) override { return Call("SourceGuid"); }
    HRESULT AddSourceIdExpression(unsigned int, tagZtFilterCompareEnum) override { return Call("SourceId"); }
    HRESULT AddSourceNameExpression(BSTR, tagZtFilterCompareEnum) override { return Call("SourceName"); }
    HRESULT AddJsonAttributeExpression(BSTR, BSTR, tagZtFilterCompareEnum) override { return Call("Json"); }
    HRESULT AddLogicalOperator() override { return Call("Or"); }
    HRESULT AddNotOperator() override { return Call("Not"); }
    HRESULT AddExpressionGroup(IZtEventFilter*) override { return Call("Group"); }

private:
    HRESULT Call(const char* name) {
        calls += std::string(calls.empty() ? "" : " ") + name;
        return failing == name ? E_OUTOFMEMORY : S_OK;
    }
};

inline CComPtr<ForeignFilter> NewForeignFilter() {
    CComObject<ForeignFilter>* object = nullptr;
    EXPECT_EQ(CreateObject<ForeignFilter>(&object), S_OK);
    CComPtr<ForeignFilter> held;
    held.Attach(object);
    return held;
}

// A BSTR owned for one scope; the length form keeps zero bytes.
class Bstr {
public:
    explicit Bstr(const char* text) : p(SysAllocString(text)) {}
    Bstr(const char* bytes, UINT length) : p(SysAllocStringLen(bytes, length)) {}
    ~Bstr() { SysFreeString(p); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return p; }

private:
    BSTR p;
};

}  // namespace filter_test

#endif  // ZT_TESTS_RECORDING_STREAM_WRITER_H
