// The font processor: texts gathered per font key, one subset file per
// font.
#include "fontsvc/font_processor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fontsvc/fontsvc_support.h"
#include "kdlib.h"

using kdtest::numbers;

namespace {

TEST(FontProcessor, KeysNumbersAndStyles) {
    int32_t h = _zo_fontProcessor_Init();
    ASSERT_NE(h, 0);
    EXPECT_EQ(_zo_fontProcessor_AddText(h, "abc", 1252, "ArialB-000000"), 1);
    EXPECT_EQ(_zo_fontProcessor_AddText(h, "x", 1252, "Arial--000000"), 2);
    EXPECT_EQ(_zo_fontProcessor_AddText(h, "d", 1252, "ArialB-000000"), 1);
    EXPECT_EQ(_zo_fontProcessor_GetCount(h), 2);
    // Case matters; an empty text still makes the font.
    EXPECT_EQ(_zo_fontProcessor_AddText(h, "", 1252, "arialB-000000"), 3);
    EXPECT_EQ(_zo_fontProcessor_AddText(h, nullptr, 1252, "Other-I000000"), 4);
    EXPECT_EQ(_zo_fontProcessor_GetCount(h), 4);
    EXPECT_EQ(_zo_fontProcessor_Destroy(h), 0);
    EXPECT_EQ(_zo_fontProcessor_GetCount(h), 0);  // released handle acts as 0
    EXPECT_EQ(_zo_fontProcessor_AddText(h, "a", 1252, "ArialB-000000"), 0);
    EXPECT_EQ(_zo_fontProcessor_AddText(0, "a", 1252, "ArialB-000000"), 0);
    EXPECT_EQ(_zo_fontProcessor_WriteFontFiles(0, ""), 0);
    EXPECT_EQ(_zo_fontProcessor_Destroy(0), 0);

    // Outside the key format the whole key is the face name.
    struct Case {
        std::string key, face;
        bool bold, italic;
    } cases[] = {{"ArialB-000000", "Arial", true, false},
                 {"Arialb-000000", "Arial", false, false},
                 {"Times New Roman-I------", "Times New Roman", false, true},
                 {"short", "short", false, false},
                 {std::string(40, 'F') + "BI000000", std::string(31, 'F'), true, true}};
    for (const Case& c : cases) {
        kd::FontKeyParts p = kd::splitFontKey(c.key);
        EXPECT_EQ(p.faceName + std::to_string(p.bold) + std::to_string(p.italic),
                  c.face + std::to_string(c.bold) + std::to_string(c.italic));
    }
}

TEST(FontProcessor, WritesOneSubsetFilePerFont) {
    kdtest::TempDir dir;
    int32_t h = _zo_fontProcessor_Init();
    ASSERT_EQ(_zo_fontProcessor_AddText(h, "Hello", 1252, "DejaVu Sans--000000"), 1);
    ASSERT_EQ(_zo_fontProcessor_AddText(h, "\xc1\xe2\xe3", 1253, "DejaVu SansB-000000"), 2);
    ASSERT_EQ(_zo_fontProcessor_AddText(h, " world", 1252, "DejaVu Sans--000000"), 1);
    EXPECT_EQ(_zo_fontProcessor_WriteFontFiles(h, (dir.path() + "/").c_str()), 2);

    // fontTools finds the glyphs the text needs, and no more than a handful
    // of extras.
    auto regular = fonttest::checkProgram(dir.file("font1.ttf"), kdtest::dejaVuPath(), "Hello world");
    EXPECT_EQ(regular["family"], "DejaVu Sans");
    EXPECT_LE(numbers(regular["inked"]).size(), 10u);
    auto bold = fonttest::checkProgram(dir.file("font2.ttf"), kdtest::dejaVuPath("DejaVuSans-Bold.ttf"),
                                       "\xce\x91\xce\xb2\xce\xb3");
    EXPECT_EQ(bold["family"], "DejaVu Sans");

    // The processor is unchanged: it can be written again, into the
    // current directory with an empty folder.
    EXPECT_EQ(_zo_fontProcessor_GetCount(h), 2);
    _zo_fontProcessor_Destroy(h);
}

}  // namespace
