#pragma once
// The program's string classes: CStringW holds UTF-16 text (char16_t, so lengths and byte
// images match the stored forms), CStringA holds narrow bytes (UTF-8 by convention).
// Only the operations that the program uses are offered.
// Threads: plain values; share one read-only or copy it.
#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

// Raised for impossible positions, as the original string class raises E_INVALIDARG.
class InvalidArgumentError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// printf-style formatting into a narrow string, growing as needed.
std::string FormatV(const char* format, va_list args);
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

template <typename CharT>
class CStringT {
public:
    using Char = CharT;
    using StdString = std::basic_string<CharT>;
    using View = std::basic_string_view<CharT>;

    CStringT() = default;
    CStringT(const CharT* text) : s_(text ? text : EmptyText()) {}
    CStringT(const CharT* text, int length) : s_(text ? StdString(text, static_cast<size_t>(std::max(length, 0))) : StdString()) {}
    CStringT(CharT ch, int repeat = 1) : s_(static_cast<size_t>(std::max(repeat, 0)), ch) {}
    CStringT(StdString text) : s_(std::move(text)) {}
    CStringT(View text) : s_(text) {}

    int GetLength() const { return static_cast<int>(s_.size()); }
    bool IsEmpty() const { return s_.empty(); }
    void Empty() { s_.clear(); }
    const CharT* GetString() const { return s_.c_str(); }
    operator const CharT*() const { return s_.c_str(); }
    const StdString& Str() const { return s_; }
    StdString& Str() { return s_; }
    View AsView() const { return s_; }

    CharT GetAt(int index) const {
        CheckIndex(index);
        return s_[static_cast<size_t>(index)];
    }
    void SetAt(int index, CharT ch) {
        CheckIndex(index);
        s_[static_cast<size_t>(index)] = ch;
    }
    CharT operator[](int index) const { return GetAt(index); }

    CStringT& operator=(const CharT* text) { s_ = text ? text : EmptyText(); return *this; }
    CStringT& operator+=(const CStringT& other) { s_ += other.s_; return *this; }
    CStringT& operator+=(const CharT* text) { if (text) s_ += text; return *this; }
    CStringT& operator+=(CharT ch) { s_ += ch; return *this; }
    void Append(const CharT* text, int length) { if (text && length > 0) s_.append(text, static_cast<size_t>(length)); }
    void AppendChar(CharT ch) { s_ += ch; }

    friend CStringT operator+(CStringT a, const CStringT& b) { a += b; return a; }
    friend CStringT operator+(CStringT a, const CharT* b) { a += b; return a; }
    friend CStringT operator+(const CharT* a, const CStringT& b) { CStringT r(a); r += b; return r; }
    friend CStringT operator+(CStringT a, CharT b) { a += b; return a; }
    friend bool operator==(const CStringT& a, const CStringT& b) { return a.s_ == b.s_; }
    friend bool operator==(const CStringT& a, const CharT* b) { return a.s_ == (b ? b : EmptyText()); }
    friend bool operator<(const CStringT& a, const CStringT& b) { return a.s_ < b.s_; }

    // Exact comparison: negative, zero or positive.
    int Compare(const CharT* other) const { return s_.compare(other ? other : EmptyText()); }
    // Comparison that folds ASCII letters only.
    int CompareNoCase(const CharT* other) const {
        View a(s_), b(other ? other : EmptyText());
        const size_t n = std::min(a.size(), b.size());
        for (size_t i = 0; i < n; ++i) {
            const CharT x = LowerAscii(a[i]), y = LowerAscii(b[i]);
            if (x != y) return x < y ? -1 : 1;
        }
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    }

    // Positions are character indexes; -1 means not found.
    int Find(CharT ch, int start = 0) const { return ToIndex(start < 0 || start > GetLength() ? StdString::npos : s_.find(ch, static_cast<size_t>(start))); }
    int Find(const CharT* text, int start = 0) const { return ToIndex(start < 0 || start > GetLength() || !text ? StdString::npos : s_.find(text, static_cast<size_t>(start))); }
    int ReverseFind(CharT ch) const { return ToIndex(s_.rfind(ch)); }
    int FindOneOf(const CharT* set) const { return ToIndex(set ? s_.find_first_of(set) : StdString::npos); }

    CStringT Mid(int first) const { return Mid(first, GetLength()); }
    CStringT Mid(int first, int count) const {
        first = std::clamp(first, 0, GetLength());
        count = std::clamp(count, 0, GetLength() - first);
        return CStringT(s_.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
    }
    CStringT Left(int count) const { return Mid(0, count); }
    CStringT Right(int count) const {
        count = std::clamp(count, 0, GetLength());
        return Mid(GetLength() - count, count);
    }

    CStringT& MakeLower() { for (auto& c : s_) c = LowerAscii(c); return *this; }
    CStringT& MakeUpper() { for (auto& c : s_) c = UpperAscii(c); return *this; }
    CStringT& Trim() { TrimRight(); return TrimLeft(); }
    CStringT& TrimLeft() {
        size_t i = 0;
        while (i < s_.size() && IsSpace(s_[i])) ++i;
        s_.erase(0, i);
        return *this;
    }
    CStringT& TrimRight() {
        while (!s_.empty() && IsSpace(s_.back())) s_.pop_back();
        return *this;
    }
    // Replaces every occurrence; returns the number replaced.
    int Replace(const CharT* from, const CharT* to) {
        if (!from || !*from) return 0;
        const StdString f(from), t(to ? to : EmptyText());
        int count = 0;
        for (size_t pos = s_.find(f); pos != StdString::npos; pos = s_.find(f, pos + t.size())) {
            s_.replace(pos, f.size(), t);
            ++count;
        }
        return count;
    }
    int Replace(CharT from, CharT to) {
        int count = 0;
        for (auto& c : s_) if (c == from) { c = to; ++count; }
        return count;
    }
    int Delete(int index, int count = 1) {
        if (index >= 0 && index < GetLength() && count > 0) s_.erase(static_cast<size_t>(index), static_cast<size_t>(count));
        return GetLength();
    }
    int Insert(int index, const CharT* text) {
        index = std::clamp(index, 0, GetLength());
        if (text) s_.insert(static_cast<size_t>(index), text);
        return GetLength();
    }
    void Truncate(int length) {
        if (length < 0 || length > GetLength()) throw InvalidArgumentError("CString::Truncate");
        s_.resize(static_cast<size_t>(length));
    }

    // A writable buffer of at least minLength characters; ReleaseBuffer cuts at the first NUL.
    CharT* GetBuffer(int minLength) {
        if (static_cast<int>(s_.size()) < minLength) s_.resize(static_cast<size_t>(minLength));
        return s_.data();
    }
    void ReleaseBuffer(int newLength = -1) {
        if (newLength < 0) {
            s_.resize(std::char_traits<CharT>::length(s_.c_str()));
        } else {
            s_.resize(std::min(static_cast<size_t>(newLength), s_.size()));
        }
    }

private:
    static const CharT* EmptyText() { static const CharT empty[1] = {0}; return empty; }
    static CharT LowerAscii(CharT c) { return (c >= 'A' && c <= 'Z') ? static_cast<CharT>(c + 32) : c; }
    static CharT UpperAscii(CharT c) { return (c >= 'a' && c <= 'z') ? static_cast<CharT>(c - 32) : c; }
    static bool IsSpace(CharT c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
    static int ToIndex(size_t pos) { return pos == StdString::npos ? -1 : static_cast<int>(pos); }
    void CheckIndex(int index) const {
        if (index < 0 || index >= GetLength()) throw InvalidArgumentError("CString index out of range");
    }

    StdString s_;
};

// Narrow text; Format follows printf.
class CStringA : public CStringT<char> {
public:
    using CStringT<char>::CStringT;
    CStringA() = default;
    CStringA(const CStringT<char>& other) : CStringT<char>(other) {}

    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

// UTF-16 text. Format takes a narrow printf format whose output is read as UTF-8.
class CStringW : public CStringT<char16_t> {
public:
    using CStringT<char16_t>::CStringT;
    CStringW() = default;
    CStringW(const CStringT<char16_t>& other) : CStringT<char16_t>(other) {}

    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Conversions through UTF-8 (which is also this platform's ANSI code page).
    static CStringW FromUtf8(std::string_view utf8);
    CStringA ToUtf8() const;
};

}  // namespace platform

using platform::CStringA;
using platform::CStringW;
