#pragma once
#include <windows.h>
#include <urlhist.h>
#include <cstdint>
#include <string>

namespace pb {

class HistoryCleanser;

// One record of the URL history. Shared (the cleanser's list and any caller holding it); it
// owns the record's two strings and frees them when the last holder lets go.
class HistoryEntry {
  public:
    HistoryEntry();
    ~HistoryEntry();
    HistoryEntry(const HistoryEntry&) = delete;
    HistoryEntry& operator=(const HistoryEntry&) = delete;

    // OLE Automation dates in local time; 0 when a time cannot be converted.
    double LastVisited() const { return ToLocalDate(mStat.ftLastVisited); }
    double Expires() const { return ToLocalDate(mStat.ftExpires); }
    double LastUpdated() const { return ToLocalDate(mStat.ftLastUpdated); }
    std::wstring URL() const { return StringFromPtr(mStat.pwcsUrl); }
    std::int32_t Flags() const { return static_cast<std::int32_t>(mStat.dwFlags); }
    std::wstring Title() const { return StringFromPtr(mStat.pwcsTitle); }

  private:
    friend class HistoryCleanser;
    // Takes over the record, and with it the ownership of its two strings.
    void SetStatUrl(const STATURL& record);
    static std::wstring StringFromPtr(const wchar_t* p);
    static double ToLocalDate(const FILETIME& utc);

    STATURL mStat;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(STATURL) == 40, "the 32-bit STATURL record");
#endif

} // namespace pb
