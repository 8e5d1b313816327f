#include "history/HistoryEntry.h"
#include <oleauto.h>

namespace pb {

HistoryEntry::HistoryEntry() : mStat{} {}

HistoryEntry::~HistoryEntry() {
    CoTaskMemFree(mStat.pwcsTitle);
    CoTaskMemFree(mStat.pwcsUrl);
}

void HistoryEntry::SetStatUrl(const STATURL& record) {
    // Strings of an earlier record would otherwise be lost without being freed.
    if (mStat.pwcsTitle != record.pwcsTitle)
        CoTaskMemFree(mStat.pwcsTitle);
    if (mStat.pwcsUrl != record.pwcsUrl)
        CoTaskMemFree(mStat.pwcsUrl);
    mStat = record;
}

std::wstring HistoryEntry::StringFromPtr(const wchar_t* p) {
    if (!p)
        return {};
    return std::wstring(p, static_cast<size_t>(lstrlenW(p)));
}

double HistoryEntry::ToLocalDate(const FILETIME& utc) {
    SYSTEMTIME st{};
    double date = 0;
    FILETIME local{};
    const FILETIME copy = utc;
    if (FileTimeToLocalFileTime(&copy, &local) && FileTimeToSystemTime(&local, &st))
        if (!SystemTimeToVariantTime(&st, &date))
            date = 0;
    return date;
}

} // namespace pb
