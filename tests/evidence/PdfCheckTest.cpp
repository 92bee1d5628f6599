// A report cut short is told from a whole one: the cases a writer that stops half-way, or a
// disk that fills, leaves behind.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "evidence/PdfCheck.h"

namespace fs = std::filesystem;

namespace {

// A one-page PDF whose startxref points at its table.
std::string WholePdf() {
    const std::string body =
        "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
        "2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n";
    return body + "xref\n0 3\n0000000000 65535 f \ntrailer\n<< /Root 1 0 R /Size 3 >>\n" +
           "startxref\n" + std::to_string(body.size()) + "\n%%EOF\n";
}

TEST(PdfCheck, OnlyAWholeReportPasses) {
    const std::string whole = WholePdf();
    const struct {
        const char* name;
        std::string bytes;
        bool whole;
    } rows[] = {
        {"whole", whole, true},
        {"cut half-way", whole.substr(0, whole.size() / 2), false},
        {"cut before the end line", whole.substr(0, whole.size() - 7), false},
        {"empty", "", false},
        {"no header", "%!PS" + whole.substr(4), false},
        {"trailer past the end",
         whole.substr(0, whole.rfind("startxref")) + "startxref\n999999\n%%EOF\n", false},
        {"trailer at no table", whole.substr(0, whole.rfind("startxref")) + "startxref\n3\n%%EOF\n",
         false},
        {"junk after the end", whole + "more bytes\n", false},
    };
    const fs::path dir = fs::path(TARVEX_TEST_DATA_DIR) / "pdf_check";
    fs::create_directories(dir);
    for (const auto& row : rows) {
        const fs::path path = dir / "report.pdf";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << row.bytes;
        std::string error;
        EXPECT_EQ(PdfIsWhole(path.string(), "report.pdf", &error), row.whole) << row.name;
        if (!row.whole) {
            EXPECT_NE(error.find("report.pdf"), std::string::npos) << row.name;
        }
    }
}

}  // namespace
