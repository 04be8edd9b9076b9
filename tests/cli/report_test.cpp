#include "cli/report.h"

#include <gtest/gtest.h>

namespace korvan::cli {

TEST(QuotedPath, EscapesQuotesAndBackslashesOnly) {
    struct Row {
        const char* path;
        const char* quoted;
    } rows[] = {
        {"box.korv", "\"box.korv\""},
        {"a\"b\\c.korv", "\"a\\\"b\\\\c.korv\""},
        {"nhà/phố.korv", "\"nhà/phố.korv\""},
        {"", "\"\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(quoted_path(row.path), row.quoted);
    }
}

}  // namespace korvan::cli
