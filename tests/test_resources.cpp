// The resource script: the program's dialogs and string as the simulated module reads them,
// checked against the values the resources must have, and the reader on scripts of its own.
#include "app/resource.h"
#include "platform/sim/resources.h"

#include <gtest/gtest.h>

namespace {

struct ExpectedControl {
    int id;
    const char *className;
    const char *text;
    int textId;
    DWORD style;
    int x, y, cx, cy;
};

void ExpectControls(const sim::DialogTemplate &d, const std::vector<ExpectedControl> &expected) {
    ASSERT_EQ(d.controls.size(), expected.size()) << "dialog " << d.id;
    for (size_t i = 0; i < expected.size(); i++) {
        const sim::ControlTemplate &c = d.controls[i];
        const ExpectedControl &e = expected[i];
        EXPECT_EQ(c.id, e.id) << i;
        EXPECT_EQ(c.className, e.className) << i;
        EXPECT_EQ(c.text, e.text) << i;
        EXPECT_EQ(c.textId, e.textId) << i;
        EXPECT_EQ(c.style, e.style) << std::hex << i << " " << c.style;
        EXPECT_EQ(c.exStyle, 0u) << i;
        EXPECT_EQ(std::vector<int>({c.x, c.y, c.cx, c.cy}),
                  std::vector<int>({e.x, e.y, e.cx, e.cy}))
            << i;
    }
}

TEST(ModuleResourcesTest, MainDialogIsDialog102AsDesigned) {
    const sim::ResourceScript &r = sim::ModuleResources();
    ASSERT_EQ(r.dialogs.count(102), 1u);
    const sim::DialogTemplate &d = r.dialogs.at(102);
    EXPECT_EQ(std::vector<int>({d.x, d.y, d.cx, d.cy}), std::vector<int>({0, 0, 119, 65}));
    EXPECT_EQ(d.style, 0x90CA00C8u);
    EXPECT_EQ(d.exStyle, 0x40000u);
    EXPECT_EQ(d.caption, "Ringward");
    EXPECT_EQ(d.fontSize, 8);
    EXPECT_EQ(d.fontName, "MS Shell Dlg");
    ExpectControls(d, {
                          {1000, "Button", "Start screening calls", -1, 0x50010000, 25, 17, 73, 16},
                          {1001, "Button", "Exit", -1, 0x50010000, 63, 43, 50, 16},
                      });
}

TEST(ModuleResourcesTest, AboutBoxIsDialog100AsDesigned) {
    const sim::ResourceScript &r = sim::ModuleResources();
    ASSERT_EQ(r.dialogs.count(100), 1u);
    const sim::DialogTemplate &d = r.dialogs.at(100);
    EXPECT_EQ(std::vector<int>({d.x, d.y, d.cx, d.cy}), std::vector<int>({0, 0, 235, 55}));
    EXPECT_EQ(d.style, 0x80C800C8u);
    EXPECT_EQ(d.exStyle, 0u);
    EXPECT_EQ(d.caption, "About Quorvel");
    EXPECT_EQ(d.fontSize, 8);
    EXPECT_EQ(d.fontName, "MS Shell Dlg");
    ASSERT_EQ(d.controls.size(), 4u);
    const std::string secondLine = d.controls[2].text;
    EXPECT_FALSE(secondLine.empty());
    ExpectControls(
        d, {
               {-1, "Static", "", 128, WS_CHILD | WS_VISIBLE | SS_ICON, 11, 17, 20, 20},
               {-1, "Static", "Quorvel Version 1.0", -1,
                WS_CHILD | WS_VISIBLE | SS_NOPREFIX | WS_GROUP, 40, 10, 119, 8},
               {-1, "Static", secondLine.c_str(), -1, WS_CHILD | WS_VISIBLE | WS_GROUP, 40, 25, 119,
                8},
               {IDOK, "Button", "OK", -1,
                WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 178, 7, 50, 16},
           });
}

TEST(ModuleResourcesTest, StringOfTheAboutEntry) {
    const sim::ResourceScript &r = sim::ModuleResources();
    ASSERT_EQ(r.strings.count(101), 1u);
    EXPECT_EQ(r.strings.at(101), "&About Quorvel...");
    EXPECT_EQ(IDS_ABOUTBOX, 101);
    EXPECT_EQ(IDD_QUORVEL_DIALOG, 102);
    EXPECT_EQ(IDD_ABOUTBOX, 100);
    EXPECT_EQ(IDR_MAINFRAME, 128);
}

// ---- The reader on scripts of its own ----

sim::ResourceScript Parse(const std::string &script, const std::string &header = "") {
    sim::ResourceScript out;
    std::string error;
    EXPECT_TRUE(sim::ParseResourceScript(script, header, &out, &error)) << error;
    return out;
}

std::string ParseError(const std::string &script) {
    sim::ResourceScript out;
    std::string error;
    EXPECT_FALSE(sim::ParseResourceScript(script, "", &out, &error));
    return error;
}

TEST(ResourceScriptTest, StylesCombineDefaultsExplicitBitsAndNot) {
    sim::ResourceScript r = Parse("1 DIALOG 1, 2, 30, 40\n"
                                  "BEGIN\n"
                                  "  PUSHBUTTON \"A\", 10, 1, 1, 5, 5, NOT WS_TABSTOP\n"
                                  "  LTEXT \"B\", 11, 1, 1, 5, 5, SS_NOPREFIX | NOT WS_GROUP\n"
                                  "  CONTROL \"C\", 12, \"button\", BS_DEFPUSHBUTTON, 1, 1, 5, 5\n"
                                  "  CTEXT \"D\", 13, 1, 1, 5, 5, 0, WS_EX_TOPMOST\n"
                                  "END\n");
    const sim::DialogTemplate &d = r.dialogs.at(1);
    EXPECT_EQ(d.style, (DWORD)(WS_POPUP | WS_BORDER | WS_SYSMENU)); // no STYLE: the default
    ASSERT_EQ(d.controls.size(), 4u);
    EXPECT_EQ(d.controls[0].style, (DWORD)(WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON));
    EXPECT_EQ(d.controls[1].style, (DWORD)(WS_CHILD | WS_VISIBLE | SS_NOPREFIX));
    EXPECT_EQ(d.controls[2].style, (DWORD)(WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON));
    EXPECT_EQ(d.controls[2].className, "Button");
    EXPECT_EQ(d.controls[3].style, (DWORD)(WS_CHILD | WS_VISIBLE | SS_CENTER | WS_GROUP));
    EXPECT_EQ(d.controls[3].exStyle, (DWORD)WS_EX_TOPMOST);
}

TEST(ResourceScriptTest, CaptionAndFontBringTheirStyleBits) {
    sim::ResourceScript r = Parse("7 DIALOGEX 0, 0, 10, 10\nSTYLE WS_POPUP\nCAPTION \"T\"\n"
                                  "FONT 9, \"Tahoma\", 400, 0, 0x1\nBEGIN\nEND\n");
    EXPECT_EQ(r.dialogs.at(7).style, (DWORD)(WS_POPUP | WS_CAPTION | DS_SETFONT));
    EXPECT_EQ(r.dialogs.at(7).fontSize, 9);
    EXPECT_EQ(r.dialogs.at(7).fontName, "Tahoma");
}

TEST(ResourceScriptTest, HeaderDefinesConditionsCommentsAndStrings) {
    const std::string header = "#ifndef H\n#define H\n#define IDD_X (IDD_BASE + 2)\n"
                               "#define IDD_BASE 0x10\n#ifdef NOT_DEFINED\n#define IDS_Y 1\n"
                               "#else\n#define IDS_Y 2\n#endif\n#endif\n";
    sim::ResourceScript r = Parse("/* a comment\n over lines */ #include \"x.h\"\n"
                                  "LANGUAGE 9, 1\n"
                                  "IDD_X DIALOG MOVEABLE PURE 0, 0, 1, 1 // trailing\n"
                                  "BEGIN END\n"
                                  "STRINGTABLE\nBEGIN\n"
                                  "  IDS_Y, \"say \"\"hi\"\"\\n // not a comment\"\n"
                                  "  010 \"decimal\"\n"
                                  "END\n",
                                  header);
    EXPECT_EQ(r.dialogs.count(0x12), 1u);
    EXPECT_EQ(r.strings.at(2), "say \"hi\"\n // not a comment");
    EXPECT_EQ(r.strings.at(10), "decimal");
}

TEST(ResourceScriptTest, OtherResourcesArePassedOverAndIconsNoted) {
    sim::ResourceScript r = Parse("128 ICON \"res\\\\app.ico\"\n"
                                  "1 24 \"app.manifest\"\n"
                                  "1 VERSIONINFO\n FILEVERSION 1,0,0,1\nBEGIN\n BLOCK \"x\"\n"
                                  " BEGIN\n VALUE \"A\", \"B\"\n END\nEND\n"
                                  "STRINGTABLE BEGIN 5 \"five\" END\n");
    EXPECT_EQ(r.icons, std::set<int>({128}));
    EXPECT_EQ(r.strings.at(5), "five");
}

TEST(ResourceScriptTest, ErrorsSayWhere) {
    EXPECT_EQ(ParseError("1 DIALOG 0, 0, 1, 1\nBEGIN\n  BUTTONX \"a\", 1, 0, 0, 1, 1\nEND\n"),
              "line 3: unknown control BUTTONX");
    EXPECT_EQ(ParseError("1 DIALOG 0, 0, 1\nBEGIN END\n"), "line 2: ',' expected");
    EXPECT_EQ(ParseError("STRINGTABLE\nBEGIN\n  IDS_NOWHERE \"x\"\nEND\n"),
              "line 3: unknown name IDS_NOWHERE");
    EXPECT_EQ(ParseError("STRINGTABLE\nBEGIN\n  1 \"open\nEND\n"),
              "line 3: string without its closing quote");
    EXPECT_EQ(ParseError("\n#ifdef X\n"), "line 2: #ifdef without #endif");
    EXPECT_EQ(ParseError("1 DIALOG 0, 0, 1, 1\nBEGIN\n"), "line 3: END expected");
}

TEST(ResourceScriptTest, SelfReferringDefinitionIsAnErrorNotAHang) {
    sim::ResourceScript out;
    std::string error;
    EXPECT_FALSE(sim::ParseResourceScript("STRINGTABLE BEGIN A \"x\" END", "#define A (A + 1)\n",
                                          &out, &error));
    EXPECT_NE(error.find("A"), std::string::npos);
}

} // namespace
