/*
 * kdlib — byte-, glyph- and pixel-level services for a report engine that
 * writes PDF files.
 *
 * Calling conventions shared by every export:
 *  - Results are 32-bit integers. 0 means success (or "nothing done" for a
 *    missing object), negative values mean failure; where a function
 *    produces a count or a length, the result is that count.
 *  - Texts are zero-terminated 8-bit strings unless a length is passed.
 *    A null text is treated as an empty one; a null output pointer makes
 *    the function return its failure value without writing.
 *  - Output buffers belong to the host, which sizes them as each function
 *    states. The library never hands the host memory to free.
 *  - Objects that live across calls (font processor, re-encoding maps,
 *    string builder) are 32-bit handles. 0 is never a valid handle; an
 *    unknown or released handle is treated like 0. Each family releases its
 *    own handles.
 *  - No function throws, shows a message or keeps state between calls other
 *    than the log folder set with SetLogFolder (and caches that change no
 *    result: the fonts matched to face names).
 *  - Files: a function writes only the files its parameters name (the font
 *    processor: "font<N>.ttf" in the folder it is given). It never creates,
 *    truncates or removes any other file; nothing goes through a temporary
 *    file. (The font engine's diagnostic log, a
 *    developer's aid switched on by the environment variable
 *    KDLIB_FONT_LOG=1, writes into the log folder.)
 *  - Nothing is written on standard output or standard error, except the
 *    messages of base64 and esab64. Numbers written as text have '.' as
 *    their decimal point and no digit grouping whatever the locale, which
 *    the library neither reads nor changes.
 *  - Threads: any function may run on several threads at once, with
 *    different handles, the same face names and the same input files; each
 *    call gives what it gives on one thread. Not safe: one handle used by
 *    two threads at once, and one output file named by two calls running at
 *    once. SetLogFolder is to be called once, before any other call: the
 *    folder is read without a lock. An input file replaced or cut short
 *    while a call reads it gives that call a failure value or a result made
 *    from the bytes it could read, never a crash.
 *  - Fonts on Linux: fontconfig matches a face name once; the match is kept
 *    in a process-wide cache of the few hundred names used last, and a name
 *    seen before is selected without waiting for other threads. Fonts
 *    installed, removed or changed while the host runs are noticed within
 *    about five seconds. Font files are read into memory: a file changed on
 *    disk never disturbs a call using the font as it was.
 */
#ifndef KDLIB_H
#define KDLIB_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#  if defined(KDLIB_BUILDING)
#    define KDLIB_API __declspec(dllexport)
#  else
#    define KDLIB_API __declspec(dllimport)
#  endif
#else
#  define KDLIB_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
/* Reports measurements of the display device (exported with C++ linkage:
 * its symbol is the compiler's decorated form of int getPar(int)).
 *  1, 2: printable offset (0 on a display);
 *  3, 4: negated display width / height in thousandths of an inch, plus the
 *        printable extent (0 on a display);
 *  5:    display width in thousandths of an inch;
 *  other requests: 0.  -1 when no display context can be made. */
KDLIB_API int getPar(int request);

extern "C" {
#endif

/* ---- Frame ------------------------------------------------------------- */

/* The library's version number: always 190. */
KDLIB_API int32_t getVersion(void);

/* Sets the folder that prefixes diagnostic log file names (normally ending
 * in a path separator). At most 259 characters are kept; a longer text is
 * cut. A null text empties the folder. */
KDLIB_API void SetLogFolder(const char *folder);

/* ---- Font request ------------------------------------------------------ */

/* Font metrics, widths, descriptor values, glyph map and embeddable font
 * programs of a font chosen by face name, size and style.
 * request: low byte = request code (1 metrics, 7 symbolic flag, 8/9/10
 * embedding, 20 descriptor, 21 glyph map, other codes: character widths);
 * flag 0x200: glyph-number mode; flag 0x400: read the font from the file
 * named by subsetFileName.
 * record: request 1 needs 5 integers, width requests 256, request 20 a
 * 756-byte record, requests 8 and 10 room for the missing-code list and the
 * code-glyph entries (3 + 256 + 2 x codes integers is always enough).
 * widthTable: request 8 needs 258 values, request 10 2 + 2 x codes (may be
 * null: no widths are written). Sizing record and widthTable is the host's
 * contract; the library does not know their size.
 * faceName: at most 31 characters are used (a longer name is cut); null is
 * empty. size: points, truncated to a 16-bit integer (saturated).
 * Flag 0x400 is ignored by requests 8, 9 and 10, which write subsetFileName.
 * Requests 8, 9, 10: the program goes to subsetFileName, its compressed
 * stream (after "/Filter /FlateDecode", "/Length1 n", ">>", "stream" lines)
 * to fontStreamFile unless that is empty; result = compressed bytes, 0
 * without a stream file. Request 9 on a member of a font collection writes
 * the member as a standalone font (its own tables, offsets rebased).
 * Results: 0 or a count/length as described; -1 no display context, no
 * font, unreadable font file or data; -2 record is null for a request that
 * writes it; -500 no (live) map for request 10 or 21, or the font forbids
 * embedding (fsType bit value 1, or a restricted licence without a less
 * restrictive bit); -666 nothing to embed: also the subset file cannot
 * be created, or requests 8 and 10 on a font with neither TrueType
 * outlines ('glyf' and 'loca' tables, sfnt version other than 'OTTO') nor
 * PostScript ones (a 'CFF ' table), for which no file is written at all;
 * -600 fontStreamFile or, for request 9, subsetFileName cannot be created
 * (checked before anything is written; request 9's program file is then
 * removed, a complete subset of 8/10 stays); -30/-555/zlib codes for
 * compression failures. Files and GDI objects are released on every path.
 * Fonts with PostScript outlines (a "CFF " table and no "glyf": OpenType
 * 'OTTO' fonts, also as members of a collection): request 20 reports the
 * glyf flag (byte offset 76) as 0, and requests 8 and 10 write an OpenType
 * program ('OTTO') whose "CFF " table keeps every glyph number (glyphs not
 * needed are empty), with the tables of a TrueType subset but glyf and
 * loca. Embed such a program as FontFile3 with /Subtype /OpenType (PDF
 * 1.6) of a CIDFontType0 font under a Type0 font with /Encoding
 * /Identity-H, and write the codes of glyph-number mode (0x200) as the
 * CIDs: CID = glyph number. (In the program a CID-keyed font's charset is
 * the identity, and readers take a name-keyed font's CIDs as glyph
 * numbers.) The one-byte code map of requests 8 and 10 serves TrueType
 * programs only. */
KDLIB_API int32_t getFParam(const char *fontStreamFile, const char *faceName,
                            float size, int16_t bold, int16_t italic,
                            uint16_t request, int32_t *record,
                            const char *usedCodeMask, int32_t codePage,
                            const char *subsetFileName, int32_t mapHandle,
                            uint16_t *widthTable);

/* ---- Font processor ---------------------------------------------------- */

/* Collects the characters a document uses per font and writes one subset
 * TrueType file per font ("<folder>font<N>.ttf"). A key is the face name
 * (at most 31 characters are used) followed by 8 style characters: 'B' 8th
 * from the end for bold, 'I' 7th from the end for italic; a key shorter
 * than 8 characters is all face name. AddText returns the key's font number
 * (1, 2, ... in order of first use), GetCount and WriteFontFiles the number
 * of fonts (a font whose file cannot be written, or that has no TrueType
 * outlines, is skipped: no file is written for it). Handle 0 or a
 * released handle: every function returns 0. Handles are passed
 * pointer-sized. */
KDLIB_API int32_t _zo_fontProcessor_Init(void);
KDLIB_API int32_t _zo_fontProcessor_AddText(intptr_t handle, const char *text,
                                            int32_t codePage, const char *key);
KDLIB_API int32_t _zo_fontProcessor_GetCount(intptr_t handle);
KDLIB_API int32_t _zo_fontProcessor_WriteFontFiles(intptr_t handle,
                                                   const char *folder);
KDLIB_API int32_t _zo_fontProcessor_Destroy(intptr_t handle);

/* ---- Picture information ----------------------------------------------- */

/* Image kinds: 0 BMP, 1 JPEG, 2 PNG, 3 GIF, 4 TIFF, 5 EMF, 6 placeable WMF,
 * 7 OS/2 bitmap array, 8 JPEG 2000 file, 9 JBIG2, 10 JPEG 2000 codestream.
 * Results: 0, -1/-4 unrecognised or damaged, -500 file cannot be opened. */
KDLIB_API int32_t GetPicInfo(const char *imagePath, int32_t *kindOut,
                             int32_t *widthOut, int32_t *heightOut,
                             int32_t *bitCountOut, int32_t *effectiveKindOut,
                             int32_t jbig2Page, int32_t *pageCountOut);
KDLIB_API int32_t GetPicInfoIsGrayscale(const char *imagePath,
                                        int32_t *greyBitsOut,
                                        int32_t jbig2Page);

/* ---- Image objects ----------------------------------------------------- */

/* Writes the image dictionary, "stream\r\n" and the stream data of an image
 * into dataPath; soft mask and palette / JBIG2 globals into side files.
 * Result: stream data length, or -500, -1, -4, -100, -51, -30..-33,
 * -40..-42 on failure (-44, a temporary-file failure of earlier versions,
 * is no longer produced: images are decoded in memory, a few rows at a
 * time, and no file is created but the ones named here). -1 also for an
 * image whose data cannot be found (a PNG without image data, a JPEG
 * without a frame, bitmap pixels past the end of the file); an image that
 * is not recognised or has no data leaves no data file. Data that are
 * merely short are read as zeros.
 * PNG: every colour type and bit depth. Grey, RGB and palette images pass
 * through with their row filters (predictor 15); images with an alpha
 * channel, 16-bit ones below PDF 1.5 and interlaced (Adam7) ones are
 * decoded and deflated again. An interlaced image is held whole once its
 * passes are placed, and refused with -1 above 2^28 bytes of rows.
 * Transparency, with *smaskObj 0: an alpha channel, a tRNS chunk giving
 * palette entries alpha below 255, and a 16-bit grey or RGB colour key
 * become a soft mask (8-bit samples for tRNS, numbered and dropped as for
 * an alpha channel); a 1- to 8-bit colour key becomes a /Mask colour-key
 * array in the dictionary. A tRNS chunk longer than the palette, of the
 * wrong length, or on an image with alpha is ignored. */
KDLIB_API int32_t dobmp(const char *imagePath, const char *dataPath,
                        int32_t lengthObj, int16_t *widthOut,
                        int16_t *heightOut, intptr_t unusedArg,
                        int32_t invertDecode, const char *colourKeyMask,
                        const char *paletteFilePath, int32_t *paletteObjOut,
                        const char *maskPath, int32_t *smaskObj,
                        int32_t pdfVersion, const char *maskKind,
                        int32_t jbig2Page);

/* Copies the JPEG or PNG data embedded in a bitmap to outPath.
 * Result: bytes copied, 0 for other images, -500 or a recognition code. */
KDLIB_API int32_t ExtractFromBMP(const char *bmpPath, const char *outPath);

/* ---- PNG data ---------------------------------------------------------- */

/* Apply PNG row filters to raw rows read from files and write scanline data
 * (filter byte + filtered row). Result 1, or 0 when a file cannot be
 * opened. */
KDLIB_API int32_t CreatePNGDataFromFile(const char *inPath, const char *outPath,
                                        const uint8_t *filterTypes,
                                        uint32_t filterCount,
                                        intptr_t unusedArg5, int32_t rowBytes,
                                        uint8_t bytesPerPixel,
                                        uint32_t rowCount, intptr_t unusedArg9,
                                        uint8_t unusedByte10,
                                        uint8_t unusedByte11);
KDLIB_API int32_t CreatePNGAlphaDataFromFile(
    const char *colourPath, const char *alphaPath, const char *outPath,
    uint8_t colourFiltered, uint8_t alphaFiltered, const uint8_t *filterTypes,
    uint32_t filterCount, intptr_t unusedArg8, uint32_t colourRowBytes,
    uint8_t colourBytesPerPixel, uint32_t alphaRowBytes,
    uint8_t alphaBytesPerPixel, uint32_t rowCount, uint32_t pixelsPerRow,
    uint8_t unusedByte15, uint8_t unusedByte16);

/* ---- Bitmap to metafile ------------------------------------------------ */

/* Writes a Windows metafile that draws the bitmap at its own size.
 * Nonzero on success; 0 when the bitmap cannot be read (the metafile is
 * still created, without drawing). */
KDLIB_API int32_t bmp2wmf(const char *bmpPath, const char *wmfPath);

/* ---- Hashes ------------------------------------------------------------ */

/* 16 binary digest bytes. MD5File: 1, or 0 when the file cannot be opened.
 * MD5String: always 0. */
KDLIB_API int32_t MD5File(const char *path, uint8_t *digest);
KDLIB_API int32_t MD5String(const void *data, uint32_t length,
                            uint8_t *digest);

/* ---- Encryption (PDF standard security handler, RC4) -------------------- */

/* revision 3 selects the revision-3 algorithms, any other value revision 2;
 * keyLength is the document key length in bytes (1 to 16; values outside
 * are clamped into that range). fileId is 16 raw bytes. All return 0. */
KDLIB_API int32_t computeKeys(const char *ownerPassword,
                              const char *userPassword, int32_t permissions,
                              const uint8_t *fileId, uint8_t *oOut,
                              uint8_t *uOut, uint8_t *keyOut, int32_t ignored,
                              int32_t revision, int32_t keyLength);
KDLIB_API int32_t encryptPDFContent(uint8_t *data, int32_t length,
                                    int32_t objectNumber, int32_t generation,
                                    const uint8_t *key, int32_t ignored,
                                    int32_t revision, int32_t keyLength);
KDLIB_API int32_t encryptFile(const char *inPath, const char *outPath,
                              int32_t objectNumber, int32_t generation,
                              const uint8_t *key, int32_t ignored,
                              int32_t revision, int32_t keyLength);

/* ---- Unicode re-encoding ----------------------------------------------- */

/* mode 0: one-byte codes (two hex digits per character); mode 1: glyph
 * numbers from the glyph map (four hex digits). Output needs 4 x length
 * bytes. Result: code bytes produced (1 or 2 per character). */
KDLIB_API int32_t _kd_MUSInit(int32_t *charMap, int32_t *glyphMap,
                              int32_t mode);
KDLIB_API int32_t _kd_MUSRelease(int32_t charMap, int32_t glyphMap,
                                 int32_t mode);
KDLIB_API int32_t _kd_MakeUnicodeString(const char *text, int32_t length,
                                        int32_t *charMap, int32_t *nextCode,
                                        char *output, intptr_t unused,
                                        int32_t codePage, int32_t mode,
                                        int32_t *glyphMap);
/* UTF-16BE without byte-order mark; output needs 2 x length bytes.
 * Result: units written, 0 when the conversion fails. */
KDLIB_API int32_t _kd_ToUnicode(const char *text, int32_t length, void *output,
                                int32_t codePage);

/* ---- Arabic shaping ---------------------------------------------------- */

/* _ltr: logical order, _rtl: display order. toformsb: output of n units;
 * fromformsb: *count holds the output's room on entry (2 x n suffices) and
 * the units written on return. All return 0. */
KDLIB_API int32_t _arabic_toformsb_ltr(const uint16_t *input, int32_t n,
                                       uint16_t *output, int32_t *countOut);
KDLIB_API int32_t _arabic_toformsb_rtl(const uint16_t *input, int32_t n,
                                       uint16_t *output, int32_t *countOut);
KDLIB_API int32_t _arabic_fromformsb_ltr(const uint16_t *input, int32_t n,
                                         uint16_t *output, int32_t *count);
KDLIB_API int32_t _arabic_fromformsb_rtl(const uint16_t *input, int32_t n,
                                         uint16_t *output, int32_t *count);

/* ---- Bidirectional text ------------------------------------------------ */

/* Reorders a line of code page 1255 or 1256 text into display order; other
 * code pages are copied. Result: bytes written (= length). */
KDLIB_API int32_t formatBIDIString(const char *src, int32_t length, char *dst,
                                   int32_t codePage);

/* ---- Wrapping and trimming --------------------------------------------- */

/* Widths are in thousandths of an inch; the font is measured at ten times
 * the size. lines receives 3 metric entries (height, external leading,
 * ascent) and, per line, its 1-based first and last position and width;
 * the host sizes it for 3 + 3 x (characters + 1) integers (its contract:
 * no more lines than that are written). Code pages 65001, 1200, 1201 hand
 * ww/_pvTrimA over to the UTF-16 twin (1200/1201: the text is UTF-16LE/BE
 * ending in a 16-bit zero). Trim modes: 0/1 last character that fits,
 * 2 last space or CR that fits, 3/4 the same leaving room for an ellipsis,
 * 5 head steps x 100000 + tail characters around an ellipsis (-1 when they
 * meet). A null text is empty. Results: lines written / trim result, -1
 * when no display context or font can be made or lines is null. */
KDLIB_API int32_t ww(const char *text, const char *faceName, float size,
                     int16_t italic, int16_t bold, float maxWidth,
                     int32_t *lines, int16_t wordWrap, uint16_t codePage,
                     int16_t unused);
KDLIB_API int32_t wwW(const char *text, const char *faceName, float size,
                      int16_t italic, int16_t bold, float maxWidth,
                      int32_t *lines, int16_t wordWrap, uint16_t codePage,
                      int16_t unused);
KDLIB_API int32_t _pvTrimA(const char *text, const char *faceName, float size,
                           int16_t italic, int16_t bold, float boxWidth,
                           int16_t unused7, uint16_t codePage, int16_t mode,
                           int16_t unused10);
KDLIB_API int32_t _pvTrimW(const char *text, const char *faceName, float size,
                           int16_t italic, int16_t bold, float boxWidth,
                           int16_t unused7, uint16_t codePage, int16_t mode,
                           int16_t unused10);

/* ---- PDF strings ------------------------------------------------------- */

/* Escapes bytes for a PDF literal string; usedMap (256 bytes) gets '!' at
 * each byte value used unless its first byte is 0. dst needs
 * max(2, strlen(lineBreak)) x length bytes. Result: bytes written. */
KDLIB_API int32_t mkPDFString(const char *src, int32_t length,
                              const char *lineBreak, char *dst, char *usedMap);
/* '999,999.99' -> '###,##0.00'. Result: bytes written (= length). */
KDLIB_API int32_t convertFormatString(const char *src, int32_t length,
                                      char *dst);

/* ---- String builder ---------------------------------------------------- */

/* A growable byte buffer. Handles are passed pointer-sized. Getters return
 * -1 for a missing object; GetInt and Substr return -1 when the range lies
 * outside the content. GetMemoryPointer gives a 32-bit address, valid until
 * the next append. FormatString4Float takes text with %% and at most four
 * conversions f F e E g G a A (flags -+ #0', width, precision, l), cut to
 * 399 bytes; any other conversion gives -1 and appends nothing. */
KDLIB_API int32_t _zoFSO_setup(int32_t growthStep);
KDLIB_API int32_t _zoFSO_Append(intptr_t handle, const void *bytes,
                                int32_t count);
KDLIB_API int32_t _zoFSO_AppendAsUnicode(intptr_t handle, const char *text,
                                         int32_t count, int32_t codePage);
KDLIB_API int32_t _zoFSO_Assign(intptr_t handle, const void *bytes,
                                int32_t count);
KDLIB_API int32_t _zoFSO_Deallocate(intptr_t handle);
KDLIB_API int32_t _zoFSO_FormatString4Float(intptr_t handle,
                                            const char *format, float a,
                                            float b, float c, float d);
KDLIB_API int32_t _zoFSO_GetInt(intptr_t handle, int32_t position);
KDLIB_API int32_t _zoFSO_GetLength(intptr_t handle);
KDLIB_API int32_t _zoFSO_GetMemoryPointer(intptr_t handle);
KDLIB_API int32_t _zoFSO_PDF_AddBox(intptr_t handle, float x, float y,
                                    float width, float height, float lineWidth,
                                    int32_t fill, int32_t fillRed,
                                    int32_t fillGreen, int32_t fillBlue,
                                    int32_t border, int32_t strokeRed,
                                    int32_t strokeGreen, int32_t strokeBlue,
                                    int32_t noRect);
KDLIB_API int32_t _zoFSO_SetColor(intptr_t handle, const char *op,
                                  int32_t red, int32_t green, int32_t blue);
KDLIB_API int32_t _zoFSO_Substr(intptr_t handle, int32_t start, int32_t count,
                                void *dst);

/* ---- Encoders ---------------------------------------------------------- */

/* base64 / esab64 report problems on standard error and return 0.
 * HEXFile: 1, or 0 when a file cannot be opened. */
KDLIB_API int32_t base64(const char *inPath, const char *outPath);
KDLIB_API int32_t esab64(const char *inPath, const char *outPath);
KDLIB_API int32_t HEXFile(const char *inPath, const char *outPath,
                          int32_t bytesPerLine);

/* ---- Compression ------------------------------------------------------- */

/* zipFile: 1 on success, 0 when a file cannot be opened (or input and
 * output are the same file), -30 / zlib status / -555 on compression
 * failure. unzipFile: 1, 0, -30, or -42 when the data is not zlib. */
KDLIB_API int32_t zipFile(const char *inPath, const char *outPath,
                          const char *filter, int32_t *streamLength);
KDLIB_API int32_t unzipFile(const char *inPath, const char *outPath);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KDLIB_H */
