#include "ZtFilterSyntax/FilterText.h"

#include "FilterParser.h"

#include "ZtAtlCom/ComPtr.h"
#include "ZtEventLoggerVdlFilter/ZtEventLoggerVdlFilter.h"

#include <cstdio>
#include <new>

namespace ZtFilterSyntax {

using namespace ZtEventLoggerVdlProxy;

namespace {

// A failed filter call while the tree is written, at the node's place.
struct EmitError {
    std::size_t offset;
    HRESULT hr;
    std::string message;
};

std::string CallFailure(HRESULT hr) {
    if (hr == ZtAtlCom::E_OUTOFMEMORY) return "out of memory";
    if (hr == ZtAtlCom::E_NOINTERFACE) return "the filter does not take this kind of expression";
    if (hr == ZtAtlCom::E_INVALIDARG)
        return "the filter refused this expression (it would hold more than 10000 expressions or nest too deeply)";
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return std::string("the filter refused this expression (") + code + ")";
}

// A new filter from factory; a factory that reports success without one fails.
HRESULT NewFilter(FilterFactory factory, ZtAtlCom::CComPtr<IZtEventFilter>& filter) noexcept {
    HRESULT hr =
        factory(CLSID_ZtEventFilter, IID_IZtEventFilter, reinterpret_cast<void**>(filter.ReleaseAndGetAddressOf()));
    return ZtAtlCom::Succeeded(hr) && !filter ? ZtAtlCom::E_POINTER : hr;
}

/* Writes the tree as filter calls. Expressions side by side are joined by
 * AND and OR binds weaker, exactly as in the text, so only an Or inside an
 * And, and an And or Or after NOT, need a group of their own. */
class Emitter {
public:
    explicit Emitter(FilterFactory factory) : m_factory(factory) {}

    void List(const FilterNode& node, IZtEventFilter* filter) {
        if (node.type != FilterNode::Type::Or) return Chain(node, filter);
        for (std::size_t i = 0; i < node.children.size(); ++i) {
            if (i > 0) Check(node.children[i].offset, filter->AddLogicalOperator());
            Chain(node.children[i], filter);
        }
    }

private:
    void Chain(const FilterNode& node, IZtEventFilter* filter) {
        if (node.type != FilterNode::Type::And) return Factor(node, filter);
        for (const FilterNode& child : node.children) Factor(child, filter);
    }

    void Factor(const FilterNode& node, IZtEventFilter* filter) {
        switch (node.type) {
        case FilterNode::Type::Comparison: Check(node.offset, node.add(filter)); return;
        case FilterNode::Type::Not: {
            Check(node.offset, filter->AddNotOperator());
            const FilterNode& operand = node.children.front();
            if (operand.type == FilterNode::Type::And || operand.type == FilterNode::Type::Or)
                return Group(operand, filter);
            return Factor(operand, filter);
        }
        case FilterNode::Type::Or:
        case FilterNode::Type::And: return Group(node, filter);
        }
    }

    void Group(const FilterNode& node, IZtEventFilter* filter) {
        ZtAtlCom::CComPtr<IZtEventFilter> group;
        const HRESULT hr = NewFilter(m_factory, group);
        if (ZtAtlCom::Failed(hr))
            throw EmitError{node.offset, hr, "no filter could be made for the group: " + CallFailure(hr)};
        List(node, group);
        Check(node.offset, filter->AddExpressionGroup(group));
    }

    static void Check(std::size_t offset, HRESULT hr) {
        if (ZtAtlCom::Failed(hr)) throw EmitError{offset, hr, CallFailure(hr)};
    }

    FilterFactory m_factory;
};

// Characters (UTF-8 code points) before offset, plus one.
std::size_t ColumnOf(std::string_view text, std::size_t offset) noexcept {
    std::size_t column = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++column;
    return column;
}

// Messages are taken as given or as a literal, so that no text is copied
// outside the try below.
FilterTextResult Fault(HRESULT hr, std::size_t column, std::string&& message) noexcept {
    FilterTextResult result;
    result.hr = hr;
    result.column = column;
    result.message = std::move(message);
    return result;
}

FilterTextResult Fault(HRESULT hr, std::size_t column, const char* message) noexcept {
    FilterTextResult result;
    result.hr = hr;
    result.column = column;
    try {
        result.message = message;
    } catch (...) {
    }
    return result;
}

FilterTextResult OutOfMemory() noexcept { return Fault(ZtAtlCom::E_OUTOFMEMORY, 0, ""); }

// Parses text, mapping its faults; the tree in *tree on success.
FilterTextResult Parse(std::string_view text, FilterNode* tree) noexcept {
    try {
        *tree = ParseFilterTree(text);
        return {};
    } catch (FilterSyntaxError& e) {
        return Fault(ZtAtlCom::E_INVALIDARG, ColumnOf(text, e.offset), std::move(e.message));
    } catch (...) {
        return OutOfMemory();
    }
}

}  // namespace

std::string FilterTextResult::Describe() const {
    if (Ok()) return {};
    std::string text = message.empty() ? CallFailure(hr) : message;
    return column == 0 ? text : "column " + std::to_string(column) + ": " + text;
}

FilterTextResult ParseFilterText(std::string_view text, IZtEventFilter* filter, FilterFactory factory) noexcept {
    if (!filter || !factory) return Fault(ZtAtlCom::E_POINTER, 0, "no filter or no factory given");
    FilterNode tree;
    FilterTextResult result = Parse(text, &tree);
    if (!result.Ok()) return result;
    try {
        Emitter(factory).List(tree, filter);
        return result;
    } catch (EmitError& e) {
        result = Fault(e.hr, ColumnOf(text, e.offset), std::move(e.message));
    } catch (...) {
        result = OutOfMemory();
    }
    filter->Clear();  // never leave half a filter behind
    return result;
}

FilterTextResult CreateFilterFromText(std::string_view text, FilterFactory factory, IZtEventFilter** filter) noexcept {
    if (!filter) return Fault(ZtAtlCom::E_POINTER, 0, "no place for the filter given");
    *filter = nullptr;
    if (!factory) return Fault(ZtAtlCom::E_POINTER, 0, "no filter factory given");
    ZtAtlCom::CComPtr<IZtEventFilter> made;
    const HRESULT hr = NewFilter(factory, made);
    if (ZtAtlCom::Failed(hr)) {
        try {
            return Fault(hr, 0, "no filter could be made: " + CallFailure(hr));
        } catch (...) {
            return Fault(hr, 0, "");
        }
    }
    FilterTextResult result = ParseFilterText(text, made, factory);
    if (result.Ok()) *filter = made.Detach();
    return result;
}

FilterTextResult CheckFilterText(std::string_view text) noexcept {
    FilterNode tree;
    return Parse(text, &tree);
}

}  // namespace ZtFilterSyntax
