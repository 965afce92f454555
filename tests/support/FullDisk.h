#pragma once

#include <sqlite3.h>

namespace snipbrook::test {

// While it lives, every SQLite connection opened in this process cannot grow its database beyond
// the size it had at opening (max_page_count): a write that needs a new page fails with
// "database or disk is full", as on a full disk, while writes that fit still succeed.
class FullDisk {
public:
    FullDisk() { sqlite3_auto_extension(entryPoint()); }
    ~FullDisk() { sqlite3_cancel_auto_extension(entryPoint()); }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

private:
    // The limit is raised to the current size: no room beyond what the file has.
    static int limitGrowth(sqlite3 *db, char **, const sqlite3_api_routines *)
    {
        return sqlite3_exec(db, "PRAGMA max_page_count = 1", nullptr, nullptr, nullptr);
    }
    static void (*entryPoint())() { return reinterpret_cast<void (*)()>(&limitGrowth); }
};

} // namespace snipbrook::test
