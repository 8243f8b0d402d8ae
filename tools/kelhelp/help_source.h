// Text help files ("AJUDA\<topic>.HLP") made from readable sources. A source
// is UTF-8 text, one line per help line:
//   "# Heading"     a heading, shown highlighted (the "# " is dropped)
//   "{F4} Llista"   what the braces enclose is shown highlighted
// Every line becomes one record of 80 code page 850 bytes padded with
// blanks, the marks turned into the viewer's highlight toggle. A line may
// show at most 76 characters; trailing blanks are dropped first.
#pragma once

#include <string>

namespace tools {

// The .HLP bytes of a source; false with "line N: what is wrong".
bool MakeHelpFile(const std::string& source_utf8, std::string& hlp, std::string& error);

// kelhelp OUTDIR SOURCE...: writes OUTDIR/<name>.HLP for every SOURCE
// <name>.txt. 0 when all were written, 1 for a bad source or a file that
// could not be written (named on err), 2 for a wrong command line.
int RunKelhelp(int argc, char** argv, std::string& err);

}  // namespace tools
