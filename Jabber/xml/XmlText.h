// Text helpers of the XML layer. Every text in the element tree is UTF-8, whether built for
// sending or parsed from the stream; UTF-16 enters and leaves only through the two conversions here.
#pragma once

#include <cstddef>
#include <string>

// UTF-16 to UTF-8; length -1 measures up to the zero. A null text gives an empty string.
std::string Utf8FromWide(const wchar_t* text, int length = -1);
std::wstring WideFromUtf8(const std::string& text);

// Appends text with the five markup characters escaped ("&amp;", "&lt;", "&gt;", "&quot;",
// "&apos;"), carriage returns dropped and every other character below 32 except tab and line feed
// turned into a space (XML 1.0 allows none of them). The serialiser passes every text and attribute
// value through this; nothing that goes into a tree is escaped beforehand.
void AppendEscaped(std::string& out, const char* text, size_t length);
std::string EscapeXmlText(const std::string& text);

// Replaces the five named entities ("&amp;", "&apos;", "&gt;", "&lt;", "&quot;") in one pass from
// left to right, so "&amp;lt;" gives "&lt;"; any other "&" sequence (a numeric reference included)
// is kept as it stands.
void DecodeEntities(std::string& text);
// A copy of length bytes at text with the entities decoded.
std::string DecodeText(const char* text, size_t length);

// A carriage return before every line feed that has none, for texts shown in Windows controls.
std::wstring ExpandNewlines(const std::wstring& text);
