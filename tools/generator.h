#pragma once

#include <QString>

namespace kdb {
class Database;
}

namespace kadrol {

// Fills a fresh Data folder with a made-up agency: name lists, a catalog of specialities,
// candidates with languages, skills, education, experience, interviews, recommendations and
// further specialities, client firms and their requests with selection lists. The same seed
// gives the same agency, row for row.
struct AgencyOptions {
    int candidates = 300;
    int firms = 25;
    int requests = 60;
    unsigned seed = 20261210;
};

struct AgencyCounts {
    int candidates = 0;
    int detailRows = 0;
    int firms = 0;
    int requests = 0;
};

// Writes in one transaction through the engine's store SQL; the folder must hold a fresh store
// (its name lists empty). Throws kdb::Error.
AgencyCounts generateAgency(kdb::Database& db, const AgencyOptions& options);

} // namespace kadrol
