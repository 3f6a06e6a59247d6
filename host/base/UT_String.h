#pragma once

// Wide strings as the host passes them around.

#include "host/host_api.h"

#include <QString>

#include <string>

class HOST_API UT_String {
public:
    UT_String() = default;
    explicit UT_String(std::wstring s) : m_s(std::move(s)) {}
    explicit UT_String(const QString& s) : m_s(s.toStdWString()) {}

    const std::wstring& str() const { return m_s; }
    const wchar_t* c_str() const { return m_s.c_str(); }
    QString toQString() const { return QString::fromStdWString(m_s); }
    bool empty() const { return m_s.empty(); }
    bool operator==(const UT_String& o) const { return m_s == o.m_s; }

private:
    std::wstring m_s;
};

// Widens a UTF-8 text for the calls that take wide strings.
class HOST_API UT_A2W {
public:
    explicit UT_A2W(const char* s) : m_s(QString::fromUtf8(s ? s : "").toStdWString()) {}
    operator const wchar_t*() const { return m_s.c_str(); }
    const std::wstring& str() const { return m_s; }

private:
    std::wstring m_s;
};
