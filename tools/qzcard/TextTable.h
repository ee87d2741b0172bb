#pragma once
// A table of text for a command's output: a header line and one line per
// row, each column as wide as its widest cell and two blanks apart, the
// last column unpadded so that lines carry no trailing blanks. Every cell
// goes through TableCell, so a value with line breaks stays on its line.
#include "ValueTexts.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace qzcard {

inline void PrintTextTable(const std::vector<std::string>& headers,
                           std::vector<std::vector<std::string>> rows) {
    for (auto& row : rows)
        for (std::string& cell : row) cell = qzimport::TableCell(cell);
    std::vector<size_t> widths(headers.size());
    for (size_t c = 0; c < headers.size(); ++c) {
        widths[c] = headers[c].size();
        for (const auto& row : rows) widths[c] = std::max(widths[c], c < row.size() ? row[c].size() : 0);
    }
    auto print = [&](const std::vector<std::string>& line) {
        std::string text;
        for (size_t c = 0; c < line.size(); ++c) {
            text += line[c];
            if (c + 1 < line.size()) text += std::string(widths[c] - line[c].size() + 2, ' ');
        }
        std::printf("%s\n", text.c_str());
    };
    print(headers);
    for (const auto& row : rows) print(row);
}

}  // namespace qzcard
