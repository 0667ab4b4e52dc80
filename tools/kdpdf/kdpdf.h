// kdpdf: a report writer that builds complete PDF files through the
// exports of libkdlib alone (kdlib.h is the only library header it sees).
#ifndef KDPDF_H
#define KDPDF_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace kdpdf {

// Every failure the user must hear about: one line, naming the file.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Scratch folder for the files the library writes; removed with everything
// in it when the run ends, successful or not.
class WorkDir {
public:
    WorkDir();
    ~WorkDir();
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;
    std::string file(const std::string& name);  // a fresh path inside
private:
    std::string dir_;
    int counter_ = 0;
};

std::string readFile(const std::string& path);  // throws Failure
long processId();
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// UTF-8 helpers. unitOffsets(text)[k] is the byte offset of UTF-16 unit k
// (both units of a surrogate pair point at the character's first byte); one
// extra entry holds the text's length.
bool validUtf8(const std::string& text);  // strict: no overlong forms or surrogates
std::vector<size_t> unitOffsets(const std::string& utf8);
std::vector<uint32_t> codePoints(const std::string& utf8);

// ---- PDF file ----------------------------------------------------------

struct Encryption {
    bool on = false;
    uint8_t key[16] = {};
    uint8_t o[32] = {}, u[32] = {};
    int32_t permissions = -4;
};

class PdfWriter {
public:
    // Writes path; messages name shownName (the file the user asked for).
    PdfWriter(const std::string& path, const std::string& shownName, int version);  // version 14 or 17
    ~PdfWriter();
    // Raises the header's version (16 for PDF 1.6) when the file needs it.
    void requireVersion(int version);

    int alloc();                  // next object number
    int allocBlock(int count);    // count consecutive numbers, returns the first
    void beginObject(int obj);
    void endObject();
    void write(const std::string& text);
    void writeFileBody(const std::string& path);

    // A string token for object obj: a literal string through mkPDFString,
    // or the hexadecimal form of its encrypted bytes.
    std::string string(int obj, const std::string& bytes);
    // A text string (UTF-8 in) as UTF-16BE with byte-order mark.
    std::string textString(int obj, const std::string& utf8);

    // A stream object whose dictionary ("<<" ... ">>\r\n"), "stream\r\n" line
    // and data are in a file: encrypted with encryptFile when needed, then
    // closed with endstream.
    void streamObjectFromFile(int obj, const std::string& path, WorkDir& work);
    // A stream object from bytes, compressed with zipFile; its /Length lives
    // in an object of its own.
    void deflatedStream(int obj, const std::string& dictEntries, const std::string& data, WorkDir& work);
    void integerObject(int obj, long value);
    void nullObject(int obj);

    void setEncryption(const std::string& userPassword, const std::string& ownerPassword);
    const Encryption& encryption() const { return enc_; }
    void finish(int root, int info);  // xref and trailer; throws on write errors

private:
    FILE* f_ = nullptr;
    std::string path_, shown_;
    std::vector<long> offsets_;  // index = object number, -1 = not written
    Encryption enc_;
    uint8_t fileId_[16] = {};
    int current_ = 0;
    int version_ = 14, headerVersion_ = 14;
};

// ---- Fonts -------------------------------------------------------------

struct FontStyle {
    std::string face;
    bool bold = false;
    bool italic = false;
    bool operator<(const FontStyle& o) const {
        return std::tie(face, bold, italic) < std::tie(o.face, o.bold, o.italic);
    }
};

// One PDF font: one re-encoding map of the library. A simple TrueType font
// takes one-byte codes (at most 256), a composite one glyph numbers; a face
// with PostScript (CFF) outlines is always composite (CIDFontType0).
struct FontInstance {
    FontStyle style;
    bool composite = false;
    int32_t charMap = 0, glyphMap = 0, next = 0;
    std::string resource;  // "F1" ...
    int object = 0;        // the font dictionary's number
    std::map<uint32_t, int> widths;  // code (simple) or glyph (composite) -> 1/1000 em
    int missingWidth = 0;
    bool finished = false;
    double width(const std::vector<uint16_t>& codes, double size) const;
};

// A piece of text in one font: its codes and, for drawing, the string token.
struct Run {
    FontInstance* font = nullptr;
    std::vector<uint16_t> codes;
    bool gapAfter = true;  // justification may widen the space after it
};

class FontSet {
public:
    explicit FontSet(WorkDir& work) : work_(work) {}
    ~FontSet();
    // Fails (Failure) when the face forbids embedding; warns when the face
    // is not installed and another one answers.
    void check(const FontStyle& style);
    // True when the face itself (not a substitute) is installed.
    bool installed(const std::string& face);
    // Re-encodes text (in codePage) for the style; a new map (PDF font)
    // starts when a simple font's 256 codes could run out, so long UTF-8
    // text comes back in several runs. Composite text (shaped as a whole)
    // is one run.
    std::vector<Run> encode(const FontStyle& style, bool composite, const std::string& text, int codePage);
    // Embeds every font: subset programs, widths, descriptors, ToUnicode.
    void finish(PdfWriter& pdf);
    std::string resources() const;  // "/F1 12 0 R ..."
private:
    Run encodeOne(const FontStyle& style, bool composite, const std::string& text, int codePage);
    FontInstance* current(const FontStyle& style, bool composite, size_t units);
    void finishSimple(FontInstance& f, PdfWriter& pdf);
    void finishComposite(FontInstance& f, PdfWriter& pdf);
    struct Descriptor;
    Descriptor describe(const FontStyle& style);
    static bool answers(const Descriptor& d, const std::string& face);
    int writeDescriptor(PdfWriter& pdf, const FontStyle& style, const std::string& baseFont, int flags, int fontFile,
                        bool cff);
    int writeFontFile(PdfWriter& pdf, const std::string& streamFile, int32_t length, bool cff);

    WorkDir& work_;
    std::map<std::pair<FontStyle, bool>, std::vector<std::unique_ptr<FontInstance>>> fonts_;
    std::vector<FontInstance*> order_;
    std::map<FontStyle, bool> cff_;  // checked styles: PostScript outlines?
};

// ---- Content -------------------------------------------------------------

// A page's content is built in a string builder of the library.
class Content {
public:
    Content();
    ~Content();
    Content(const Content&) = delete;
    Content& operator=(const Content&) = delete;
    void raw(const std::string& text);
    void format(const char* fmt, float a, float b = 0, float c = 0, float d = 0);
    void box(float x, float top, float w, float h, float lineWidth, bool fill, int fr, int fg, int fb, int border,
             int sr, int sg, int sb);
    void fillColour(int r, int g, int b);
    std::string bytes() const;
private:
    intptr_t h_ = 0;
};

enum class Align { Left, Right, Center, Justify };

// A line of text: runs separated by the space each carries at its end.
struct TextLine {
    double x = 0, baseline = 0, boxWidth = 0, size = 10;
    Align align = Align::Left;
    std::vector<Run> runs;
    int colour[3] = {0, 0, 0};
    double skew = 0;  // a slant drawn through the text matrix (0: none)
};

void drawLine(Content& c, const TextLine& line);
double lineWidth(const TextLine& line);

// ---- Images --------------------------------------------------------------

struct Image {
    std::string resource;  // "Im1"
    int object = 0;
    int width = 0, height = 0;  // pixels
};

// GetPicInfo, then dobmp into objects of pdf: soft mask zipped, palette.
Image embedImage(const std::string& path, PdfWriter& pdf, WorkDir& work, int pdfVersion, int index);

// ---- Layout --------------------------------------------------------------

struct Options {
    std::string input;  // empty: the built-in sample
    std::string output = "sample-report.pdf";
    std::string face = "DejaVu Sans";
    double size = 10.5;
    std::string userPassword, ownerPassword;
    int pdfVersion = 17;
    std::string sampleDir;
};

struct Block {
    enum Kind { Heading, Paragraph, Image, PageBreak } kind = Paragraph;
    std::string text;  // UTF-8 (Image: the path)
};

std::vector<Block> parseReport(const std::string& path);
void writeReport(const Options& options, const std::vector<Block>& blocks, bool sample);

}  // namespace kdpdf

#endif
