// Layout: paragraphs wrapped by the library's measuring, headings, right-to-
// left lines, tables and pictures, placed on A4 pages.
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "kdlib.h"
#include "kdpdf.h"

namespace kdpdf {

namespace {

constexpr double kPageWidth = 595.28, kPageHeight = 841.89, kMargin = 56.69;
constexpr double kTextWidth = kPageWidth - 2 * kMargin;

#ifdef _WIN32
const char* const kPathSeparators = "/\\";
bool absolutePath(const std::string& p) { return p[0] == '/' || p[0] == '\\' || (p.size() > 1 && p[1] == ':'); }
#else
const char* const kPathSeparators = "/";
bool absolutePath(const std::string& p) { return p[0] == '/'; }
#endif

double toThousandths(double points) { return points * 1000.0 / 72.0; }
double toPoints(double thousandths) { return thousandths * 72.0 / 1000.0; }

// UTF-8 to a single-byte Windows code page; false when a character has no
// byte there. The table is the library's own conversion read backwards:
// each byte's character, as _kd_ToUnicode gives it, maps back to the byte.
bool toCodePage(const std::string& utf8, int codePage, std::string& out) {
    static std::map<int, std::map<uint32_t, char>> tables;
    auto found = tables.find(codePage);
    if (found == tables.end()) {
        std::map<uint32_t, char> table;
        for (int b = 1; b < 256; ++b) {
            char byte = static_cast<char>(b);
            unsigned char be[4] = {};
            // One byte gives one UTF-16 unit; anything else has no single
            // character to map back.
            if (_kd_ToUnicode(&byte, 1, be, codePage) != 1) continue;
            uint32_t unit = static_cast<uint32_t>(be[0]) << 8 | be[1];
            if (unit >= 0xD800 && unit <= 0xDFFF) continue;
            table.emplace(unit, byte);  // the lowest byte wins a shared character
        }
        if (table.empty()) return false;
        found = tables.emplace(codePage, std::move(table)).first;
    }
    out.clear();
    for (uint32_t cp : codePoints(utf8)) {
        if (cp == 0) return false;
        auto at = found->second.find(cp);
        if (at == found->second.end()) return false;
        out += at->second;
    }
    return true;
}

int rightToLeftCodePage(const std::string& utf8) {
    for (uint32_t cp : codePoints(utf8)) {
        if (cp >= 0x0590 && cp <= 0x05FF) return 1255;
        if (cp >= 0x0600 && cp <= 0x06FF) return 1256;
    }
    return 0;
}

// A number after the library's picture: "###,##0.00" style.
std::string formatNumber(double value, const std::string& picture) {
    size_t point = picture.find('.');
    int decimals = 0, minimum = 0;
    if (point != std::string::npos)
        for (size_t i = point + 1; i < picture.size() && (picture[i] == '0' || picture[i] == '#'); ++i) ++decimals;
    for (size_t i = 0; i < std::min(point, picture.size()); ++i) minimum += picture[i] == '0';
    bool group = picture.find(',') < point;
    char buf[64];
    snprintf(buf, sizeof buf, "%.*f", decimals, std::fabs(value));
    std::string digits = buf, fraction;
    if (size_t p = digits.find('.'); p != std::string::npos) {
        fraction = digits.substr(p);
        digits.resize(p);
    }
    while (digits.size() > 1 && digits[0] == '0') digits.erase(0, 1);
    if (digits == "0" && minimum == 0) digits.clear();
    while (static_cast<int>(digits.size()) < minimum) digits.insert(0, "0");
    if (group)
        for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), ",");
    return (value < 0 ? "-" : "") + digits + fraction;
}

struct Metrics {
    double height = 0, leading = 0, ascent = 0;  // points
};

class Layout {
public:
    Layout(const Options& o, PdfWriter& pdf, WorkDir& work, FontSet& fonts)
        : o_(o), pdf_(pdf), work_(work), fonts_(fonts) {
        body_ = {o.face, false, false};
        bold_ = {o.face, true, false};
        oblique_ = {o.face, false, true};
        fonts_.check(body_);
        fonts_.check(bold_);
    }

    const FontStyle& body() const { return body_; }
    // The first installed face of those that cover Chinese and Japanese;
    // empty when there is none.
    std::string cjkFace() {
        for (const char* face : {"Noto Sans CJK JP", "Noto Sans CJK SC", "Noto Serif CJK JP", "MS Gothic"})
            if (fonts_.installed(face)) return face;
        return std::string();
    }
    const FontStyle& bold() const { return bold_; }
    const FontStyle& oblique() const { return oblique_; }
    double size() const { return o_.size; }

    Metrics metrics(const FontStyle& s, double size) {
        int32_t lines[6] = {};
        if (ww("", s.face.c_str(), static_cast<float>(size), s.italic, s.bold, 1000, lines, 1, 65001, 0) < 0)
            throw Failure("cannot measure text in font '" + s.face + "'");
        Metrics m;
        m.height = toPoints(lines[0]);
        m.leading = toPoints(lines[1]);
        m.ascent = toPoints(lines[2]);
        return m;
    }

    void space(double points) { y_ -= points; }

    void need(double height) {
        if (pages_.empty() || y_ - height < kMargin + 20) newPage();
    }

    void newPage() {
        pages_.emplace_back();
        y_ = kPageHeight - kMargin;
        int number = static_cast<int>(pages_.size());
        TextLine footer = line(footerText_ + std::to_string(number), body_, o_.size * 0.8, Align::Center, kMargin,
                               kTextWidth);
        footer.baseline = kMargin - 24;
        footer.colour[0] = footer.colour[1] = footer.colour[2] = 110;
        add([footer](Content& c) { drawLine(c, footer); });
    }

    void add(std::function<void(Content&)> op) {
        if (pages_.empty()) newPage();
        pages_.back().push_back(std::move(op));
    }

    // One line of runs, one run per word (each but the last with its space).
    TextLine line(const std::string& text, const FontStyle& s, double size, Align align, double x, double width,
                  bool composite = false) {
        TextLine l;
        l.x = x;
        l.boxWidth = width;
        l.size = size;
        l.align = align;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find(' ', start);
            if (end == std::string::npos) end = text.size();
            size_t next = text.find_first_not_of(' ', end);
            std::string word = text.substr(start, end - start);
            if (next != std::string::npos) word += ' ';
            for (Run& r : fonts_.encode(s, composite, word, 65001)) l.runs.push_back(std::move(r));
            start = next == std::string::npos ? text.size() : next;
        }
        return l;
    }

    // Wraps with ww (UTF-8 goes to its UTF-16 twin, which counts UTF-16
    // units) and justifies every line but the last.
    void paragraph(const std::string& text, const FontStyle& s, double size, Align align, int colour = 0,
                   bool composite = false) {
        std::string t = text;
        for (char& c : t)
            if (c == '\t' || c == '\r' || c == '\n') c = ' ';
        Metrics m = metrics(s, size);
        double step = m.height + m.leading;
        std::vector<int32_t> lines(3 + 3 * (t.size() + 1), 0);
        int32_t n = ww(t.c_str(), s.face.c_str(), static_cast<float>(size), s.italic, s.bold,
                       static_cast<float>(toThousandths(kTextWidth)), lines.data(), 1, 65001, 0);
        if (n < 0) throw Failure("cannot measure text in font '" + s.face + "'");
        std::vector<size_t> at = unitOffsets(t);
        size_t units = at.size() - 1;
        for (int32_t k = 0; k < n; ++k) {
            int32_t first = lines[3 + 3 * static_cast<size_t>(k)], last = lines[4 + 3 * static_cast<size_t>(k)];
            if (first < 1 || last < first || static_cast<size_t>(last) > units) continue;
            std::string piece = t.substr(at[static_cast<size_t>(first - 1)],
                                         at[static_cast<size_t>(last)] - at[static_cast<size_t>(first - 1)]);
            size_t b = piece.find_first_not_of(' '), e = piece.find_last_not_of(' ');
            if (b == std::string::npos) continue;
            piece = piece.substr(b, e - b + 1);
            need(step);
            Align a = align == Align::Justify && k + 1 == n ? Align::Left : align;
            TextLine l = line(piece, s, size, a, kMargin, kTextWidth, composite);
            l.baseline = y_ - m.ascent;
            if (colour) {
                l.colour[0] = (colour >> 16) & 255;
                l.colour[1] = (colour >> 8) & 255;
                l.colour[2] = colour & 255;
            }
            add([l](Content& c) { drawLine(c, l); });
            y_ -= step;
        }
    }

    void heading(const std::string& text) {
        double size = o_.size * 1.6;
        Metrics m = metrics(bold_, size);
        need(m.height * 2.5);
        space(m.height * 0.4);
        paragraph(text, bold_, size, Align::Left, 0x143278);
        space(m.height * 0.3);
    }

    // A Hebrew or Arabic line: wrapped in its code page, put in display
    // order, shaped by the re-encoding and drawn right-aligned with glyph
    // numbers of the composite font.
    bool rightToLeft(const std::string& utf8) {
        int cp = rightToLeftCodePage(utf8);
        std::string bytes;
        if (cp == 0 || !toCodePage(utf8, cp, bytes)) return false;
        Metrics m = metrics(body_, o_.size);
        double step = m.height + m.leading;
        std::vector<int32_t> lines(3 + 3 * (bytes.size() + 1), 0);
        int32_t n = ww(bytes.c_str(), body_.face.c_str(), static_cast<float>(o_.size), 0, 0,
                       static_cast<float>(toThousandths(kTextWidth)), lines.data(), 1, static_cast<uint16_t>(cp), 0);
        if (n < 0) throw Failure("cannot measure text in font '" + body_.face + "'");
        for (int32_t k = 0; k < n; ++k) {
            int32_t first = lines[3 + 3 * static_cast<size_t>(k)], last = lines[4 + 3 * static_cast<size_t>(k)];
            if (first < 1 || last < first || static_cast<size_t>(last) > bytes.size()) continue;
            std::string piece = bytes.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1));
            size_t b = piece.find_first_not_of(' '), e = piece.find_last_not_of(' ');
            if (b == std::string::npos) continue;
            piece = piece.substr(b, e - b + 1);
            std::string display(piece.size(), '\0');
            formatBIDIString(piece.data(), static_cast<int32_t>(piece.size()), &display[0], cp);
            need(step);
            TextLine l;
            l.x = kMargin;
            l.boxWidth = kTextWidth;
            l.size = o_.size;
            l.align = Align::Right;
            l.runs = fonts_.encode(body_, true, display, cp);
            l.baseline = y_ - m.ascent;
            add([l](Content& c) { drawLine(c, l); });
            y_ -= step;
        }
        return true;
    }

    Image picture(const std::string& path) {
        Image img = embedImage(path, pdf_, work_, o_.pdfVersion, static_cast<int>(images_.size()) + 1);
        images_.push_back(img);
        return img;
    }

    void image(const std::string& path) {
        Image img = picture(path);
        double w = img.width * 0.75, h = img.height * 0.75;  // 96 pixels per inch
        double scale = std::min(1.0, std::min(kTextWidth / w, (kPageHeight - 2 * kMargin - 40) / h));
        w *= scale;
        h *= scale;
        need(h + 8);
        double x = kMargin + (kTextWidth - w) / 2, y = y_ - h;
        std::string name = img.resource;
        add([=](Content& c) {
            c.raw("q\n");
            c.format("%.2f 0 0 %.2f %.2f %.2f cm\n", static_cast<float>(w), static_cast<float>(h), static_cast<float>(x),
                     static_cast<float>(y));
            c.raw("/" + name + " Do\nQ\n");
        });
        y_ -= h + 8;
    }

    // ---- the built-in sample's own pieces ----

    void sentences(const std::vector<std::string>& lines, const FontStyle& s) {
        Metrics m = metrics(s, o_.size);
        for (const std::string& text : lines) {
            need(m.height + m.leading);
            TextLine l = line(text, s, o_.size, Align::Left, kMargin, kTextWidth);
            l.baseline = y_ - m.ascent;
            add([l](Content& c) { drawLine(c, l); });
            y_ -= m.height + m.leading;
        }
    }

    struct Row {
        std::string item, description;
        double quantity, amount;
    };

    void table(const std::vector<Row>& rows) {
        // The number column's picture, as a report definition would give it.
        const char picture[] = "999,999.99";
        char pattern[sizeof picture] = {};
        convertFormatString(picture, static_cast<int32_t>(sizeof picture - 1), pattern);
        const double widths[4] = {60, 243, 70, kTextWidth - 373};
        const char* titles[4] = {"Item", "Description", "Quantity", "Amount"};
        const double pad = 5;
        Metrics m = metrics(body_, o_.size);
        double rowHeight = m.height + m.leading + 2 * pad;
        need(rowHeight * static_cast<double>(rows.size() + 2));
        auto cellLine = [&](const std::string& text, const FontStyle& s, int column, double top, Align a) {
            double x = kMargin;
            for (int i = 0; i < column; ++i) x += widths[i];
            TextLine l = line(text, s, o_.size, a, x + pad, widths[column] - 2 * pad);
            l.baseline = top - pad - m.ascent;
            return l;
        };
        auto rowBoxes = [&](double top, bool header, bool shaded) {
            std::vector<std::function<void(Content&)>> ops;
            double x = kMargin;
            for (int i = 0; i < 4; ++i) {
                float bx = static_cast<float>(x), bt = static_cast<float>(top), bw = static_cast<float>(widths[i]),
                      bh = static_cast<float>(rowHeight);
                int fr = header ? 40 : shaded ? 232 : 255, fg = header ? 70 : shaded ? 238 : 255,
                    fb = header ? 130 : shaded ? 248 : 255;
                add([=](Content& c) { c.box(bx, bt, bw, bh, 0.5f, true, fr, fg, fb, 5, 120, 130, 150); });
                x += widths[i];
            }
        };
        double top = y_;
        rowBoxes(top, true, false);
        for (int i = 0; i < 4; ++i) {
            TextLine l = cellLine(titles[i], bold_, i, top, i >= 2 ? Align::Right : Align::Left);
            l.colour[0] = l.colour[1] = l.colour[2] = 255;
            add([l](Content& c) { drawLine(c, l); });
        }
        top -= rowHeight;
        double total = 0;
        for (size_t r = 0; r < rows.size(); ++r) {
            const Row& row = rows[r];
            rowBoxes(top, false, r % 2 == 1);
            std::string description = trimmed(row.description, widths[1] - 2 * pad);
            TextLine cells[4] = {cellLine(row.item, body_, 0, top, Align::Left),
                                 cellLine(description, body_, 1, top, Align::Left),
                                 cellLine(formatNumber(row.quantity, "#0"), body_, 2, top, Align::Right),
                                 cellLine(formatNumber(row.amount, pattern), body_, 3, top, Align::Right)};
            for (const TextLine& l : cells) add([l](Content& c) { drawLine(c, l); });
            total += row.amount;
            top -= rowHeight;
        }
        // The total under a dashed rule.
        float rx = static_cast<float>(kMargin + widths[0] + widths[1] + widths[2]), rt = static_cast<float>(top);
        float rw = static_cast<float>(widths[3]);
        add([=](Content& c) { c.box(rx, rt, rw, 0.01f, 1.0f, false, 0, 0, 0, 1, 20, 50, 120); });
        TextLine label = cellLine("Total", bold_, 2, top, Align::Right);
        TextLine sum = cellLine(formatNumber(total, pattern), bold_, 3, top, Align::Right);
        add([label, sum](Content& c) {
            drawLine(c, label);
            drawLine(c, sum);
        });
        y_ = top - rowHeight - 6;
    }

    // Cuts a cell's text with an ellipsis where the library says it fits.
    std::string trimmed(const std::string& text, double width) {
        int32_t n = _pvTrimA(text.c_str(), body_.face.c_str(), static_cast<float>(o_.size), 0, 0,
                             static_cast<float>(toThousandths(width)), 0, 65001, 3, 0);
        std::vector<size_t> at = unitOffsets(text);
        if (n < 0 || static_cast<size_t>(n) >= at.size() - 1) return text;
        std::string head = text.substr(0, at[static_cast<size_t>(n)]);
        while (!head.empty() && head.back() == ' ') head.pop_back();
        return head + "\xE2\x80\xA6";
    }

    // Pictures side by side at one height, captions under them; the
    // transparent one stands on a chequered ground.
    void gallery(const std::vector<std::pair<std::string, std::string>>& items) {
        const double height = 60, gap = 14;
        std::vector<Image> imgs;
        double total = 0;
        for (auto& it : items) {
            imgs.push_back(picture(it.first));
            total += imgs.back().width * height / imgs.back().height;
        }
        total += gap * static_cast<double>(items.size() - 1);
        Metrics m = metrics(body_, o_.size * 0.8);
        need(height + 3 * (m.height + m.leading));
        double x = kMargin + std::max(0.0, (kTextWidth - total) / 2), y = y_ - height;
        for (size_t i = 0; i < imgs.size(); ++i) {
            double w = imgs[i].width * height / imgs[i].height;
            float fx = static_cast<float>(x), fy = static_cast<float>(y), fw = static_cast<float>(w);
            if (i == 0) {
                add([=](Content& c) {
                    const int n = 8;
                    float cw = fw / n, ch = static_cast<float>(height) / 6;
                    for (int r = 0; r < 6; ++r)
                        for (int k = 0; k < n; ++k) {
                            bool dark = (r + k) % 2 == 0;
                            c.box(fx + static_cast<float>(k) * cw, fy + static_cast<float>(height) - static_cast<float>(r) * ch,
                                  cw, ch, 0, true, dark ? 60 : 200, dark ? 170 : 235, dark ? 60 : 200, 0, -1, -1, -1);
                        }
                });
            }
            std::string name = imgs[i].resource;
            add([=](Content& c) {
                c.raw("q\n");
                c.format("%.2f 0 0 %.2f %.2f %.2f cm\n", fw, static_cast<float>(height), fx, fy);
                c.raw("/" + name + " Do\nQ\n");
            });
            TextLine caption = line(items[i].second, body_, o_.size * 0.8, Align::Center, x - gap / 2, w + gap);
            caption.baseline = y - 4 - m.ascent;
            add([caption](Content& c) { drawLine(c, caption); });
            x += w + gap;
        }
        y_ = y - 4 - 2 * (m.height + m.leading);
    }

    void setFooter(const std::string& text) { footerText_ = text; }

    // Content streams, pages, the shared resources, catalogue and info.
    void finish(const std::string& title) {
        if (pages_.empty()) newPage();
        fonts_.finish(pdf_);
        int pagesObj = pdf_.alloc(), resources = pdf_.alloc();
        std::string kids;
        for (auto& ops : pages_) {
            Content c;
            for (auto& op : ops) op(c);
            int contentObj = pdf_.alloc(), page = pdf_.alloc();
            pdf_.deflatedStream(contentObj, "", c.bytes(), work_);
            pdf_.beginObject(page);
            pdf_.write("<< /Type /Page /Parent " + std::to_string(pagesObj) + " 0 R /MediaBox [0 0 595.28 841.89]" +
                       " /Resources " + std::to_string(resources) + " 0 R /Contents " + std::to_string(contentObj) +
                       " 0 R >>");
            pdf_.endObject();
            kids += std::to_string(page) + " 0 R ";
        }
        pdf_.beginObject(pagesObj);
        pdf_.write("<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages_.size()) + " >>");
        pdf_.endObject();
        std::string xobjects;
        for (const Image& img : images_) xobjects += "/" + img.resource + " " + std::to_string(img.object) + " 0 R ";
        pdf_.beginObject(resources);
        pdf_.write("<< /ProcSet [/PDF /Text /ImageB /ImageC /ImageI] /Font << " + fonts_.resources() + ">>" +
                   (xobjects.empty() ? "" : " /XObject << " + xobjects + ">>") + " >>");
        pdf_.endObject();
        int catalog = pdf_.alloc(), info = pdf_.alloc();
        pdf_.beginObject(catalog);
        pdf_.write("<< /Type /Catalog /Pages " + std::to_string(pagesObj) + " 0 R >>");
        pdf_.endObject();
        char date[32];
        time_t now = time(nullptr);
        strftime(date, sizeof date, "D:%Y%m%d%H%M%SZ", gmtime(&now));
        pdf_.beginObject(info);
        pdf_.write("<< /Title " + pdf_.textString(info, title) + " /Producer " +
                   pdf_.string(info, "kdpdf (kdlib " + std::to_string(getVersion()) + ")") + " /CreationDate " +
                   pdf_.string(info, date) + " >>");
        pdf_.endObject();
        pdf_.finish(catalog, info);
    }

private:
    const Options& o_;
    PdfWriter& pdf_;
    WorkDir& work_;
    FontSet& fonts_;
    FontStyle body_, bold_, oblique_;
    std::vector<std::vector<std::function<void(Content&)>>> pages_;
    std::vector<Image> images_;
    std::string footerText_ = "page ";
    double y_ = 0;
};

const char* const kCjkLine =
    "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xEF\xBC\x9A\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xAE\xE6\x98\xA5"
    "\xE3\x81\xAF\xE6\xA1\x9C\xE3\x81\x8C\xE3\x81\x8D\xE3\x82\x8C\xE3\x81\x84\xE3\x81\xA7\xE3\x81\x99"
    "\xE3\x80\x82 \xE4\xB8\xAD\xE6\x96\x87\xEF\xBC\x9A\xE5\x8C\x97\xE4\xBA\xAC\xE7\x9A\x84\xE6\x98\xA5"
    "\xE5\xA4\xA9\xE5\xBE\x88\xE7\xBE\x8E\xE3\x80\x82";

void sampleReport(Layout& l, const Options& o) {
    l.setFooter("kdpdf sample report \xE2\x80\x94 page ");
    l.heading("Quarterly report (kdlib sample)");
    l.paragraph(
        "This report was written by kdpdf, a small host program that knows nothing of fonts or pictures: every "
        "measurement, code and stream comes from the library. Paragraphs are wrapped by the library's word wrap, "
        "which measures the real font, and justified with the widths that the embedded subset font reports, so the "
        "right edge stays straight in every reader. Each font is a subset holding only the characters used here.",
        l.body(), o.size, Align::Justify);
    l.space(6);
    l.heading("Three scripts");
    l.sentences({"The quick brown fox jumps over the lazy dog.",
                 "\xCE\x97 \xCE\xB3\xCF\x81\xCE\xAE\xCE\xB3\xCE\xBF\xCF\x81\xCE\xB7 \xCE\xBA\xCE\xB1\xCF\x86\xCE\xAD "
                 "\xCE\xB1\xCE\xBB\xCE\xB5\xCF\x80\xCE\xBF\xCF\x8D \xCF\x80\xCE\xB7\xCE\xB4\xCE\xAC\xCE\xB5\xCE\xB9 "
                 "\xCF\x80\xCE\xAC\xCE\xBD\xCF\x89 \xCE\xB1\xCF\x80\xCF\x8C \xCF\x84\xCE\xBF \xCF\x84\xCE\xB5\xCE\xBC"
                 "\xCF\x80\xCE\xAD\xCE\xBB\xCE\xB9\xCE\xBA\xCE\xBF \xCF\x83\xCE\xBA\xCF\x85\xCE\xBB\xCE\xAF.",
                 "\xD0\xA1\xD1\x8A\xD0\xB5\xD1\x88\xD1\x8C \xD0\xB6\xD0\xB5 \xD0\xB5\xD1\x89\xD1\x91 \xD1\x8D\xD1\x82"
                 "\xD0\xB8\xD1\x85 \xD0\xBC\xD1\x8F\xD0\xB3\xD0\xBA\xD0\xB8\xD1\x85 \xD1\x84\xD1\x80\xD0\xB0\xD0\xBD"
                 "\xD1\x86\xD1\x83\xD0\xB7\xD1\x81\xD0\xBA\xD0\xB8\xD1\x85 \xD0\xB1\xD1\x83\xD0\xBB\xD0\xBE\xD0\xBA, "
                 "\xD0\xB4\xD0\xB0 \xD0\xB2\xD1\x8B\xD0\xBF\xD0\xB5\xD0\xB9 \xD1\x87\xD0\xB0\xD1\x8E."},
                l.body());
    // Japanese and Chinese in a CJK face (an OpenType font with PostScript
    // outlines when it is one of the Noto faces).
    std::string cjk = l.cjkFace();
    if (!cjk.empty()) {
        l.sentences({kCjkLine}, {cjk, false, false});
    } else {
        fprintf(stderr, "kdpdf: note: no CJK face (such as Noto Sans CJK JP) is installed; the sample's CJK line is "
                        "left out\n");
    }
    l.space(4);
    l.paragraph("An oblique face for remarks: the figures below are unaudited and rounded to two places.", l.oblique(),
                o.size, Align::Left);
    l.paragraph("A bold face for what must not be missed: totals include every branch.", l.bold(), o.size, Align::Left);
    l.space(4);
    l.heading("Right to left");
    // Display order comes from the library: no trailing neutrals, whose
    // place a one-level reordering leaves at the right end.
    l.rightToLeft("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD7\xA2\xD7\x95\xD7\x9C\xD7\x9D! \xD7\x94\xD7\x93\xD7\x95\xD7\x97 (12 \xD7\xA2\xD7\x9E\xD7\x95\xD7\x93\xD7\x99\xD7\x9D) \xD7\x9E\xD7\x95\xD7\x9B\xD7\x9F");
    l.rightToLeft("\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 \xD8\xA8\xD8\xA7\xD9\x84\xD8\xB9\xD8\xA7\xD9\x84\xD9\x85: \xD8\xA7\xD9\x84\xD8\xAA\xD9\x82\xD8\xB1\xD9\x8A\xD8\xB1 (12 \xD8\xB5\xD9\x81\xD8\xAD\xD8\xA9) \xD8\xAC\xD8\xA7\xD9\x87\xD8\xB2");
    l.paragraph("Glyph numbers through a composite font: Identity-H, widths in a W array.", l.body(), o.size,
                Align::Left, 0, true);
    l.space(4);
    l.heading("Figures");
    l.table({{"A-100", "Consulting hours", 12, 1234.5},
             {"B-220", "Licences for the reporting server, per seat, billed yearly in advance", 40, 987654.321},
             {"C-310", "Travel", 3, 12},
             {"D-040", "Postage", 1, 0.5},
             {"E-555", "Hardware", 7, 45678.9}});
    l.newPage();
    l.heading("Pictures");
    std::string dir = o.sampleDir + "/";
    l.gallery({{dir + "lantern.png", "PNG, alpha"},
               {dir + "harbour.jpg", "JPEG"},
               {dir + "palette.bmp", "8-bit BMP"},
               {dir + "rle.bmp", "RLE8 BMP"},
               {dir + "deep16.png", "16-bit PNG"}});
    l.paragraph(
        "The first picture has an alpha channel: its soft mask lets the chequered ground show through the hole and "
        "around the disc. The bitmaps come with palettes; the run-length one is decoded by the library, and the "
        "16-bit PNG is passed through with a predictor for PDF 1.7 or cut to eight bits for PDF 1.4.",
        l.body(), o.size, Align::Justify);
}

}  // namespace

std::vector<Block> parseReport(const std::string& path) {
    std::string text = readFile(path);
    std::vector<Block> blocks;
    std::string paragraph;
    auto flush = [&]() {
        if (!paragraph.empty()) blocks.push_back({Block::Paragraph, paragraph});
        paragraph.clear();
    };
    size_t start = 0;
    int number = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string ln = text.substr(start, end - start);
        ++number;
        start = end + 1;
        if (!ln.empty() && ln.back() == '\r') ln.pop_back();
        if (!validUtf8(ln)) throw Failure(path + ":" + std::to_string(number) + ": not valid UTF-8");
        size_t b = ln.find_first_not_of(" \t"), e = ln.find_last_not_of(" \t");
        std::string t = b == std::string::npos ? std::string() : ln.substr(b, e - b + 1);
        if (t.empty()) {
            flush();
        } else if (t == "---") {
            flush();
            blocks.push_back({Block::PageBreak, ""});
        } else if (ln.compare(0, 2, "# ") == 0) {
            flush();
            size_t h = ln.find_first_not_of(" \t", 2);
            if (h != std::string::npos) blocks.push_back({Block::Heading, ln.substr(h, e - h + 1)});
        } else if (t.size() > 5 && t.compare(0, 4, "![](") == 0 && t.back() == ')') {
            flush();
            std::string image = t.substr(4, t.size() - 5);
            if (!image.empty() && !absolutePath(image)) {
                size_t slash = path.find_last_of(kPathSeparators);
                if (slash != std::string::npos) image = path.substr(0, slash + 1) + image;
            }
            blocks.push_back({Block::Image, image});
        } else {
            paragraph += (paragraph.empty() ? "" : " ") + t;
        }
        if (end == text.size()) break;
    }
    flush();
    return blocks;
}

void writeReport(const Options& o, const std::vector<Block>& blocks, bool sample) {
    WorkDir work;
    std::string partial = o.output + ".part" + std::to_string(processId());
    try {
        PdfWriter pdf(partial, o.output, o.pdfVersion);
        pdf.setEncryption(o.userPassword, o.ownerPassword);
        FontSet fonts(work);
        Layout layout(o, pdf, work, fonts);
        std::string title;
        if (sample) {
            title = "kdlib sample report (kdpdf)";
            sampleReport(layout, o);
        } else {
            std::string name = o.input.substr(o.input.find_last_of(kPathSeparators) + 1);
            layout.setFooter(name + " \xE2\x80\x94 page ");
            bool fresh = true;
            for (const Block& b : blocks) {
                switch (b.kind) {
                    case Block::Heading:
                        if (title.empty()) title = b.text;
                        layout.heading(b.text);
                        break;
                    case Block::Paragraph:
                        if (!layout.rightToLeft(b.text)) layout.paragraph(b.text, layout.body(), o.size, Align::Justify);
                        layout.space(o.size * 0.5);
                        break;
                    case Block::Image:
                        layout.image(b.text);
                        break;
                    case Block::PageBreak:
                        if (!fresh) layout.newPage();
                        break;
                }
                fresh = b.kind == Block::PageBreak;
            }
            if (title.empty()) title = name;
        }
        layout.finish(title);
    } catch (...) {
        std::remove(partial.c_str());
        throw;
    }
    // Replaces an older file of the name (Windows' rename would refuse).
    std::error_code ec;
    std::filesystem::rename(partial, o.output, ec);
    if (ec) {
        std::remove(partial.c_str());
        throw Failure("cannot write " + o.output + ": " + ec.message());
    }
}

}  // namespace kdpdf
