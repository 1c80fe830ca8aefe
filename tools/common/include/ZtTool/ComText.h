/*
 * ComText.h - BSTR texts held for the length of a call.
 *
 *     ZtTool::BstrOut name;
 *     hr = event->GetEventClassName(1033, name.Out());
 *     std::string text = name.Str();
 *
 *     ZtTool::BstrIn path("logs/export.csv");   // a new BSTR, freed at the end of scope
 *     hr = logger->ExportLoggedEvents(path, settings);
 */
#ifndef ZT_TOOL_COM_TEXT_H
#define ZT_TOOL_COM_TEXT_H

#include <string>
#include <string_view>

#include "ZtAtlCom/BStr.h"

namespace ZtTool {

// Receives a BSTR from a call and frees it.
class BstrOut {
public:
    BstrOut() = default;
    ~BstrOut() { ZtAtlCom::SysFreeString(m_text); }
    BstrOut(const BstrOut&) = delete;
    BstrOut& operator=(const BstrOut&) = delete;

    // Frees what it held and hands out the place for the next call's text.
    ZtAtlCom::BSTR* Out() {
        ZtAtlCom::SysFreeString(m_text);
        m_text = nullptr;
        return &m_text;
    }
    std::string Str() const {
        return m_text ? std::string(m_text, ZtAtlCom::SysStringByteLen(m_text)) : std::string();
    }

private:
    ZtAtlCom::BSTR m_text = nullptr;
};

// A BSTR copy of a text for one call (null when the copy could not be made,
// which the callee reads as the empty text).
class BstrIn {
public:
    explicit BstrIn(std::string_view text)
        : m_text(text.empty() ? ZtAtlCom::SysAllocString("")
                              : ZtAtlCom::SysAllocStringLen(text.data(), static_cast<ZtAtlCom::UINT>(text.size()))) {}
    ~BstrIn() { ZtAtlCom::SysFreeString(m_text); }
    BstrIn(const BstrIn&) = delete;
    BstrIn& operator=(const BstrIn&) = delete;
    operator ZtAtlCom::BSTR() const { return m_text; }

private:
    ZtAtlCom::BSTR m_text;
};

}  // namespace ZtTool

#endif  // ZT_TOOL_COM_TEXT_H
