// A PDF file assembled from numbered objects, for the readers the tests use
// as oracles (qpdf, poppler ...).
#pragma once

#include <cstdio>
#include <map>
#include <string>

namespace kdtest {

// objects: number -> what stands between "N 0 obj\r\n" and "\r\nendobj";
// the cross-reference table has a subsection for each run of consecutive
// numbers. trailer: the trailer's entries besides /Size.
inline std::string minimalPdf(const std::map<long, std::string>& objects, const std::string& trailer) {
    std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::map<long, size_t> offsets;
    for (const auto& [number, body] : objects) {
        offsets[number] = pdf.size();
        pdf += std::to_string(number) + " 0 obj\r\n" + body + "\r\nendobj\r\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 1\n0000000000 65535 f \n";
    for (auto run = offsets.begin(); run != offsets.end();) {
        auto end = run;
        long count = 0;
        while (end != offsets.end() && end->first == run->first + count) ++end, ++count;
        pdf += std::to_string(run->first) + " " + std::to_string(count) + "\n";
        for (; run != end; ++run) {
            char line[24];
            std::snprintf(line, sizeof line, "%010lu 00000 n \n", static_cast<unsigned long>(run->second));
            pdf += line;
        }
    }
    const long size = objects.empty() ? 1 : objects.rbegin()->first + 1;
    return pdf + "trailer\n<< /Size " + std::to_string(size) + " " + trailer + " >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
}

}  // namespace kdtest
