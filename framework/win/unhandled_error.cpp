#include "framework/win/unhandled_error.h"

#include <windows.h>

#include "framework/win/process.h"

namespace fw {

namespace {

// A text built in place and cut at its capacity: the error path must not need the heap, since
// the error it reports may be that the heap is exhausted.
class FixedText {
  public:
    void Append(const wchar_t* text) {
        while (*text) Put(*text++);
    }
    // ASCII; any other byte shows as U+FFFD.
    void AppendAscii(const char* text) {
        for (; *text; ++text) Put(static_cast<unsigned char>(*text) < 128 ? *text : L'\uFFFD');
    }
    void AppendDecimal(unsigned number) {
        wchar_t digits[10];
        int count = 0;
        do {
            digits[count++] = static_cast<wchar_t>(L'0' + number % 10);
            number /= 10;
        } while (number > 0);
        while (count > 0) Put(digits[--count]);
    }
    wchar_t* Buffer() { return text_; }
    size_t Capacity() const { return kCapacity; }
    void SetLength(size_t length) { length_ = length < kCapacity ? length : kCapacity - 1; }
    const wchar_t* Get() {
        text_[length_] = L'\0';
        return text_;
    }

  private:
    static constexpr size_t kCapacity = 1024;
    void Put(wchar_t c) {
        if (length_ + 1 < kCapacity) text_[length_++] = c;
    }

    wchar_t text_[kCapacity];
    size_t length_ = 0;
};

void FormatErrorText(ErrorCode code, const char* detail, FixedText& out) {
    if (code == ErrorCode::Unnumbered) {
        out.Append(L"Run-time error:\n\n");
        if (detail) out.AppendAscii(detail);
        return;
    }
    out.Append(L"Run-time error '");
    out.AppendDecimal(static_cast<unsigned>(code));
    out.Append(L"':\n\n");
    out.AppendAscii(ErrorText(code));
    if (detail) {
        out.Append(L": ");
        out.AppendAscii(detail);
    }
}

void FormatProgramName(FixedText& out) {
    wchar_t* path = out.Buffer();
    const DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(out.Capacity()));
    size_t start = 0;
    size_t end = n;
    for (size_t i = 0; i < n; ++i) {
        if (path[i] == L'\\' || path[i] == L'/') start = i + 1;
    }
    for (size_t i = start; i < n; ++i) {
        if (path[i] == L'.') end = i;
    }
    for (size_t i = start; i < end; ++i) path[i - start] = path[i];
    out.SetLength(end - start);
}

}  // namespace

void EndWithError(ErrorCode code, const char* detail) {
    FixedText text;
    FormatErrorText(code, detail, text);
    FixedText title;
    FormatProgramName(title);
    MessageBoxW(nullptr, text.Get(), title.Get(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
    End(kUnhandledErrorExitCode);
}

std::wstring UnhandledErrorText(ErrorCode code, const char* detail) {
    FixedText text;
    FormatErrorText(code, detail, text);
    return text.Get();
}

std::wstring ProgramName() {
    FixedText name;
    FormatProgramName(name);
    return name.Get();
}

}  // namespace fw
