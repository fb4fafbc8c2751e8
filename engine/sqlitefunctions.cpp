#include "sqlitefunctions.h"

#include "collation.h"
#include "error.h"

#include <sqlite3.h>
#include <string>

namespace kdb {

namespace {

int russianCollation(void*, int lengthA, const void* a, int lengthB, const void* b)
{
    return compareRussian(static_cast<const char*>(a), lengthA, static_cast<const char*>(b),
                          lengthB);
}

template <void (*convert)(const char*, int, std::string&)>
void textFunction(sqlite3_context* context, int, sqlite3_value** arguments)
{
    sqlite3_value* value = arguments[0];
    if (sqlite3_value_type(value) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    const int length = sqlite3_value_bytes(value);
    if (!text) { // out of memory while converting a number to text
        sqlite3_result_error_nomem(context);
        return;
    }
    // Called once per row of a scan: keep one buffer per thread instead of one per call.
    thread_local std::string buffer;
    buffer.clear();
    convert(text, length, buffer);
    sqlite3_result_text(context, buffer.data(), static_cast<int>(buffer.size()), SQLITE_TRANSIENT);
}

[[noreturn]] void fail(sqlite3* db, const char* what)
{
    throw Error(Error::Code::General,
                QStringLiteral("Не удалось зарегистрировать %1 в базе данных: %2")
                    .arg(QString::fromUtf8(what), QString::fromUtf8(sqlite3_errmsg(db))));
}

} // namespace

void installRussianFunctions(sqlite3* db)
{
    if (sqlite3_create_collation_v2(db, "RUS", SQLITE_UTF8, nullptr, russianCollation, nullptr) !=
        SQLITE_OK)
        fail(db, "порядок сортировки RUS");
    if (sqlite3_create_function_v2(db, "kdb_upper", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   textFunction<upperUtf8>, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(db, "функцию kdb_upper");
    if (sqlite3_create_function_v2(db, "kdb_search", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   textFunction<searchFormUtf8>, nullptr, nullptr,
                                   nullptr) != SQLITE_OK)
        fail(db, "функцию kdb_search");
}

} // namespace kdb
