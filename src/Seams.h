#pragma once
// The points where a test takes the program's place, all in one style and all here: the
// program's own headers declare none. Each is empty while the program runs; a test overrides
// it for a scope (`Use`). The one other way a test takes the program's place is the history
// cleanser's store, given to its constructor. Included by the tests and by the one file that
// consults each point.
#include "platform/CacheApi.h"
#include <functional>
#include <string>
#include <utility>
#include <vector>
#include <windows.h>
#include <shellapi.h>

namespace pb {

template <typename Signature> class Seam {
  public:
    using Function = std::function<Signature>;

    // Ends the override it came from, also when the test that made it fails half-way: the
    // point is again what the overrides still alive make it, whatever order they end in.
    class [[nodiscard]] Override {
      public:
        Override(Seam& seam, Function f) : seam_(&seam), id_(++seam.made_) {
            seam.hooks_.emplace_back(id_, std::move(f));
        }
        Override(Override&& other) noexcept
            : seam_(std::exchange(other.seam_, nullptr)), id_(other.id_) {}
        Override& operator=(Override&&) = delete;
        ~Override() { End(); }
        // Before the guard's own end, as when a hook has done its part.
        void End() {
            if (seam_)
                std::erase_if(std::exchange(seam_, nullptr)->hooks_,
                              [id = id_](const auto& hook) { return hook.first == id; });
        }

      private:
        Seam* seam_;
        unsigned id_;
    };

    // The test's hook for as long as the guard lives; the newest override alive holds.
    Override Use(Function f) { return Override(*this, std::move(f)); }
    explicit operator bool() const { return static_cast<bool>(get()); }
    // A copy: a test may replace the point while it runs.
    Function get() const { return hooks_.empty() ? Function{} : hooks_.back().second; }

  private:
    std::vector<std::pair<unsigned, Function>> hooks_;
    unsigned made_ = 0;
};

// A folder purge's steps for one file, on a deleting thread: before the file is opened, once
// it is open, before its checks, and once it is checked, before its deletion.
enum class DeletionStep { Open, Check, Delete };

namespace seams {

// Every message box: answered instead of shown.
inline Seam<int(const std::wstring& text, const std::wstring& title, UINT flags)> messageBox;
// The start of every pass of the pump and of the waits: a test acts at a pumping point.
inline Seam<void()> pumpingPoint;
// The fatal error's message and the process's end: the test gets the message and goes on.
inline Seam<void(const std::wstring& message)> fatalError;
// The program's end through the tray menu or the end of the session.
inline Seam<void()> endProgram;
// The notification area's answer to the icon: a test refuses it, as a shell that is not there.
inline Seam<BOOL(DWORD message, NOTIFYICONDATAA* icon)> notifyIcon;
// The tray's pop-up menu: a test picks the item.
inline Seam<UINT(HMENU menu)> popupMenu;
// Starting another program: a test takes the command line; returns the error code.
inline Seam<DWORD(const std::wstring& commandLine, int showState)> startProgram;
// A folder purge's file on a deleting thread: a test holds it back or interferes.
inline Seam<void(DeletionStep step, const std::wstring& name)> deletion;
// The WinInet cache calls of the Temporary Internet Files task: a test scripts failures.
inline Seam<const CacheApi&()> cacheApi;
// The largest record the program's own history store reads: a test makes a real one too large.
inline Seam<DWORD()> historyRecordLimit;
// The face the design names, and the stand-ins tried when it is missing.
inline Seam<const wchar_t*()> designFace;
inline Seam<std::vector<const wchar_t*>()> standInFaces;
// The screen's dots per inch.
inline Seam<int()> screenDpi;

} // namespace seams

} // namespace pb
