#include "tests/document/saved_bytes.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "document/document.h"
#include "io/korv_writer.h"

namespace korvan::test {

std::string saved_bytes(const Document& doc) {
    const auto path = std::filesystem::path(testing::TempDir()) /
                      ("saved_bytes_" + std::to_string(getpid()) + ".korv");
    EXPECT_TRUE(io::write_document(path, doc));
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::filesystem::remove(path);
    return bytes;
}

}  // namespace korvan::test
