#include "module/WineUrlIndex.h"
#include <algorithm>
#include <bitset>
#include <cstring>
#include <utility>

namespace pb {

namespace {

constexpr char kWineSignature[28] = "WINE URLCache Ver 0.2012001";
constexpr DWORD kMinBlocks = 0x80;
constexpr DWORD kAllocationTable = 0x250;
constexpr size_t kSizeField = 28, kHashTableField = 32, kCapacityField = 36, kBlocksInUseField = 40;
// The head of the list of records deleted while their file could not go; each record names the
// next in its exempt-delta field.
constexpr size_t kLeakListField = 0x1cc + 0x16 * 4, kLeakNextField = 44;
constexpr DWORD Signature(const char (&s)[5]) {
    return DWORD(BYTE(s[0])) | DWORD(BYTE(s[1])) << 8 | DWORD(BYTE(s[2])) << 16 |
           DWORD(BYTE(s[3])) << 24;
}
// The records that hold an address: a live one, and one kept for a file that could not go.
constexpr DWORD kAddressRecords[] = {Signature("URL "), Signature("LEAK"), Signature("REDR")};
// A hash table: its record header, the next table's offset, its number, then slots of a key and
// a record's offset. Keys 1 and 3 mark a deleted and a never used slot.
constexpr DWORD kHashSignature = Signature("HASH"), kLeakSignature = Signature("LEAK");
constexpr DWORD kHashSlots = 448, kSlotsStart = 16, kSlotDeleted = 1, kSlotFree = 3;

DWORD DwordAt(const std::vector<BYTE>& data, size_t at) {
    DWORD v;
    std::memcpy(&v, data.data() + at, sizeof v);
    return v;
}

// Whether the index is of Wine's format and sound by the checks Wine itself makes before use,
// but one: its count of blocks in use may fall behind the bitmap. Wine's lookup of an address
// that ends outside ASCII can land on a deleted record's slot and free that record again, which
// lowers the count only. Wine allocates by the bitmap alone.
bool IsSoundWineIndex(const std::vector<BYTE>& data) {
    if (data.size() < kIndexEntriesStart + kMinBlocks * kIndexBlockSize ||
        std::memcmp(data.data(), kWineSignature, sizeof kWineSignature) != 0)
        return false;
    const DWORD capacity = DwordAt(data, kCapacityField);
    if (DwordAt(data, kSizeField) != data.size() || capacity > kIndexMaxBlocks || capacity % 8 ||
        kIndexEntriesStart + size_t{capacity} * kIndexBlockSize != data.size())
        return false;
    size_t used = 0;
    for (DWORD i = 0; i < kIndexEntriesStart - kAllocationTable; ++i) {
        const BYTE bits = data[kAllocationTable + i];
        if (i >= capacity / 8 && bits)
            return false;
        used += std::bitset<8>(bits).count();
    }
    return used >= DwordAt(data, kBlocksInUseField);
}

// The blocks of the record at `offset`, by its header's count; nothing where they do not lie
// wholly among the blocks.
std::optional<std::pair<DWORD, DWORD>> RecordAt(const std::vector<BYTE>& data, DWORD offset) {
    const DWORD capacity = DwordAt(data, kCapacityField);
    if (offset < kIndexEntriesStart || (offset - kIndexEntriesStart) % kIndexBlockSize)
        return std::nullopt;
    const DWORD first = (offset - kIndexEntriesStart) / kIndexBlockSize;
    if (first >= capacity)
        return std::nullopt;
    const DWORD blocks = DwordAt(data, offset + 4);
    if (blocks < 1 || blocks > capacity - first)
        return std::nullopt;
    return std::pair{first, blocks};
}

void Keep(std::vector<bool>& kept, std::pair<DWORD, DWORD> record) {
    std::fill_n(kept.begin() + record.first, record.second, true);
}

} // namespace

// Wine's lookup of an address that ends outside ASCII can free a record again after its blocks
// went to a live one, so the bitmap alone may call a live record free: what the hash tables
// and the leak list lead to is kept too. A chain that loops, leaves the blocks or leads to
// something else makes the index unsound.
std::optional<std::vector<bool>> KeptIndexBlocks(const std::vector<BYTE>& data) {
    if (!IsSoundWineIndex(data))
        return std::nullopt;
    const DWORD capacity = DwordAt(data, kCapacityField);
    std::vector<bool> kept(capacity);
    for (DWORD block = 0; block < capacity; ++block)
        kept[block] = data[kAllocationTable + block / 8] & (1u << (block % 8));
    std::vector<bool> reached(capacity); // tables and leaked records met so far
    const auto chained = [&](DWORD offset,
                             DWORD signature) -> std::optional<std::pair<DWORD, DWORD>> {
        const auto record = RecordAt(data, offset);
        if (!record || reached[record->first] || DwordAt(data, offset) != signature)
            return std::nullopt;
        reached[record->first] = true;
        Keep(kept, *record);
        return record;
    };
    for (DWORD table = DwordAt(data, kHashTableField); table;
         table = DwordAt(data, size_t{table} + 8)) {
        const auto record = chained(table, kHashSignature);
        if (!record || record->second * kIndexBlockSize < kSlotsStart + kHashSlots * 8)
            return std::nullopt;
        for (DWORD slot = 0; slot < kHashSlots; ++slot) {
            const size_t at = size_t{table} + kSlotsStart + slot * 8;
            const DWORD key = DwordAt(data, at);
            if (key == kSlotDeleted || key == kSlotFree)
                continue;
            const auto live = RecordAt(data, DwordAt(data, at + 4));
            if (!live)
                return std::nullopt;
            Keep(kept, *live);
        }
    }
    for (DWORD leaked = DwordAt(data, kLeakListField); leaked;
         leaked = DwordAt(data, size_t{leaked} + kLeakNextField)) {
        if (!chained(leaked, kLeakSignature))
            return std::nullopt;
    }
    return kept;
}

size_t RecordsHoldingAddresses(const std::vector<BYTE>& data, const std::vector<bool>& kept) {
    const DWORD capacity = static_cast<DWORD>(kept.size());
    size_t count = 0;
    for (DWORD block = 0; block < capacity;) {
        if (!kept[block]) {
            ++block;
            continue;
        }
        const size_t at = kIndexEntriesStart + size_t{block} * kIndexBlockSize;
        const DWORD blocks = DwordAt(data, at + 4);
        count +=
            std::count(std::begin(kAddressRecords), std::end(kAddressRecords), DwordAt(data, at));
        block += blocks >= 1 && blocks <= capacity - block ? blocks : 1;
    }
    return count;
}

} // namespace pb
