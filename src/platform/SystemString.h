#pragma once
// Text that a Win32 call writes into the caller's buffer.
#include <windows.h>
#include <algorithm>
#include <string>

namespace pb {

// `call(buffer, size)` answers as most such calls do: the length written, without the
// terminator, or where the buffer is too small the size it needs, with it; 0 for a failure.
// Empty on a failure. The size asked for may grow meanwhile (another thread sets the text), so
// it is asked again, a few times.
template <typename Call> std::wstring SystemString(Call call, size_t size = MAX_PATH) {
    std::wstring buffer;
    for (int tries = 0; tries < 4; ++tries) {
        buffer.assign(size, L'\0');
        const size_t n = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        size = std::max(n, buffer.size() + 1); // grows, however the call counts
    }
    return {};
}

} // namespace pb
