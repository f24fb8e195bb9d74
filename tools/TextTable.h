#pragma once
// Rows of text in columns, for people: each column as wide as its widest cell (counted in
// characters, not bytes), two blanks between columns, the last column never padded.

#include <iosfwd>
#include <string>
#include <vector>

namespace velto_machine {

void WriteTable(const std::vector<std::vector<std::string>>& rows, std::ostream& out);

}  // namespace velto_machine
