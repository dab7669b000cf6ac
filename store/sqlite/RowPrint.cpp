#include "store/sqlite/RowPrint.h"

#include <sqlite3.h>

#include <bit>
#include <cstdint>
#include <cstring>

namespace {

std::uint64_t MixWord(std::uint64_t hash, std::uint64_t word) {
    word *= 0x87C37B91114253D5ull;
    word = std::rotl(word, 31) * 0x4CF5AD432745937Full;
    hash ^= word;
    return std::rotl(hash, 27) * 5 + 0x52DCE729ull;
}

std::uint64_t MixBytes(std::uint64_t hash, const unsigned char* bytes, std::size_t length) {
    std::size_t at = 0;
    for (; at + 8 <= length; at += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + at, 8);
        hash = MixWord(hash, word);
    }
    std::uint64_t tail = 0;
    if (length > at) {
        std::memcpy(&tail, bytes + at, length - at);
    }
    return MixWord(hash, tail);
}

void RowPrint(sqlite3_context* context, int count, sqlite3_value** values) {
    std::uint64_t hash = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < count; ++i) {
        if (sqlite3_value_type(values[i]) == SQLITE_NULL) {
            hash = MixWord(hash, ~0ull);
            continue;
        }
        const unsigned char* text = sqlite3_value_text(values[i]);
        if (text == nullptr) {  // a number or blob SQLite found no memory to give as text
            sqlite3_result_error_nomem(context);
            return;
        }
        const int bytes = sqlite3_value_bytes(values[i]);
        hash = MixWord(hash, static_cast<std::uint64_t>(bytes));
        hash = MixBytes(hash, text, static_cast<std::size_t>(bytes));
    }
    sqlite3_result_int64(context, static_cast<sqlite3_int64>(hash));
}

}  // namespace

int AddRowPrintFunction(sqlite3* connection) {
    // Direct use only: a trigger or view stored in the file cannot call it.
    return sqlite3_create_function_v2(connection, kRowPrintFunction, -1,
                                      SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY, nullptr, RowPrint,
                                      nullptr, nullptr, nullptr);
}
