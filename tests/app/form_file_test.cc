#include "app/form_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/app_state.h"
#include "app/config/form_table.h"
#include "app/config/paths.h"
#include "app/config/settings.h"
#include "app/list_input.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::TempDir;

// Two forms and one list, written plainly.
const char kPlain[] =
    "2,4\r\n"
    "\"1b,d\",4,0,3,10,12,60\r\n"
    "1,2,\"Data inicial : \",8,0,10,0,1,0,\"\"\r\n"
    "2,2,\"Data final   : \",8,0,10,0,1,0,\"\"\r\n"
    "3,2,\"Finca, inicial: \",3,0,0,0,2,1,\"\"\r\n"
    "4,2,\"Finca final  : \",3,0,0,0,2,1,\"\"\r\n"
    "\"1b,d\",1,0,14,20,16,60\r\n"
    "1,2,\"Confirmeu (S/N): \",1,0,0,0,0,0,\"|S,S\xA1|N,No\"\r\n"
    "1\r\n"
    "506,0,3,10,20,60,0,\"Finques\",0\r\n";

// The same with comments before the header, between forms, before the list
// count, indented, and a data line right after a comment.
const char kCommented[] =
    "' form file of the report\r\n"
    "   ' indented comment\r\n"
    "2,4\r\n"
    "' form 1: parameters\r\n"
    "\"1b,d\",4,0,3,10,12,60\r\n"
    "1,2,\"Data inicial : \",8,0,10,0,1,0,\"\"\r\n"
    "2,2,\"Data final   : \",8,0,10,0,1,0,\"\"\r\n"
    "3,2,\"Finca, inicial: \",3,0,0,0,2,1,\"\"\r\n"
    "4,2,\"Finca final  : \",3,0,0,0,2,1,\"\"\r\n"
    "'form 2\r\n"
    "\"1b,d\",1,0,14,20,16,60\r\n"
    "1,2,\"Confirmeu (S/N): \",1,0,0,0,0,0,\"|S,S\xA1|N,No\"\r\n"
    "' lists\r\n"
    "1\r\n"
    "  'list 1\r\n"
    "506,0,3,10,20,60,0,\"Finques\",0\r\n";

class FormFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    config::ResetPathsState();
    config::ResetSettingsState();
    app::ResetAppState();
    config::PathsState().root = dir.path();
    config::SettingsState().language = "CAT";
  }
  TempDir dir;
};

TEST_F(FormFileTest, CommentsAnywhereBetweenGroupsLoadTheSame) {
  for (const char* text : {kPlain, kCommented}) {
    SCOPED_TRACE(text == kPlain ? "plain" : "commented");
    app::FormFileResult r = app::LoadFormFile(dir.Write("FORMS/X.KPN", text));
    ASSERT_TRUE(r.ok) << r.message;
    config::FormTable& t = config::FormTableState();
    ASSERT_EQ(t.FormCount(), 2);
    EXPECT_EQ(t.max_fields, 4);
    const config::Form& f1 = t.forms[0];
    EXPECT_EQ(f1.name, "1b,d");
    EXPECT_EQ(f1.top, 3);
    EXPECT_EQ(f1.right, 60);
    ASSERT_EQ(f1.fields.size(), 4u);
    EXPECT_EQ(f1.fields[2].label, "Finca, inicial: ");  // a quoted comma stays in the text
    EXPECT_EQ(f1.fields[2].look_up_list, 1);
    EXPECT_EQ(f1.fields[0].type, config::kFieldDate);
    EXPECT_EQ(t.forms[1].fields[0].choices, "|S,S\xA1|N,No");
    EXPECT_EQ(t.forms[1].fields[0].value, " ");
    ASSERT_EQ(t.lists.size(), 1u);
    EXPECT_EQ(t.lists[0].file, 506);
    EXPECT_EQ(t.lists[0].title, "Finques");
    EXPECT_EQ(f1.fields[0].value, "        ") << "the loader leaves values blank";
  }
}

TEST_F(FormFileTest, FileEndingEarlyLeavesTheRestEmpty) {
  std::string text = kPlain;
  text.resize(text.find("\"1b,d\",1,0"));  // cut before form 2
  app::FormFileResult r = app::LoadFormFile(dir.Write("FORMS/X.KPN", text));
  ASSERT_TRUE(r.ok) << r.message;
  ASSERT_EQ(config::FormTableState().FormCount(), 2);
  EXPECT_EQ(config::FormTableState().forms[0].fields.size(), 4u);
  EXPECT_TRUE(config::FormTableState().forms[1].fields.empty());
  EXPECT_TRUE(config::FormTableState().lists.empty());
}

TEST_F(FormFileTest, MalformedFilesNameTheFileAndLine) {
  std::string bad = kPlain;
  bad.replace(bad.find("2,2,\"Data final"), 1, "x");
  std::string path = dir.Write("FORMS/BAD.KPN", bad);
  app::FormFileResult r = app::LoadFormFile(path);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, path + ":4: S'ESPERAVA UN NOMBRE ENTER I HI HA \"x\"");

  r = app::LoadFormFile(dir.Write("FORMS/HUGE.KPN", "30000,30000\r\n"));
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find(":1: NOMBRE DE FORMULARIS 30000 FORA DE L'INTERVAL 0 - "),
            std::string::npos);

  config::SettingsState().language = "SPA";  // the message follows the session's language
  r = app::LoadFormFile(dir.Write("FORMS/MANY.KPN", "1,1\r\n\"d\",2,0,0,0,0,0\r\n"));
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find(":2: N\xE9MERO DE CAMPOS 2 FUERA DEL INTERVALO 0 - 1"), std::string::npos)
      << r.message;

  r = app::LoadFormFile(dir.path() + "FORMS/NONE.KPN");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("NONE.KPN"), std::string::npos);

  r = app::LoadFormFile(dir.Write("FORMS/EMPTY.KPN", "' nothing but a comment\r\n"));
  EXPECT_FALSE(r.ok);
}

TEST_F(FormFileTest, OnlyAPlainFileIsReadAndTheRefusalIsInTheSessionLanguage) {
  alarm(30);  // a loader waiting on the pipe or reading the device for ever
  const std::string pipe = dir.path() + "PIPE.KPN";
  const std::string device = dir.path() + "ZERO.KPN";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", device.c_str()), 0);
  for (const std::string& path : {pipe, device})
    EXPECT_EQ(app::LoadFormFile(path).message, path + ": NO \x90S UN FITXER ORDINARI");
  alarm(0);
  config::SettingsState().language = "SPA";
  EXPECT_EQ(app::LoadFormFile(dir.path() + "NONE.KPN").message,
            dir.path() + "NONE.KPN: NO SE PUEDE ABRIR EL FICHERO DE FORMULARIOS");
}

TEST_F(FormFileTest, EmptyNumbersBetweenCommasReadAsZero) {
  // List input gives 0 for a number left out between two commas.
  std::string text = kPlain;
  text.replace(text.find("8,0,10,0,1,0"), 12, "8,,10,,1, ");
  app::FormFileResult r = app::LoadFormFile(dir.Write("FORMS/X.KPN", text));
  ASSERT_TRUE(r.ok) << r.message;
  const config::FormField& f = config::FormTableState().forms[0].fields[0];
  EXPECT_EQ(f.width, 8);
  EXPECT_EQ(f.line_width, 0);
  EXPECT_EQ(f.description_width, 10);
  EXPECT_EQ(f.flags, 0);
  EXPECT_EQ(f.look_up_list, 0);
  EXPECT_EQ(f.choices, "");
  EXPECT_EQ(config::FormTableState().forms[0].fields[1].label, "Data final   : ");
}

TEST_F(FormFileTest, PathIsFormedBelowTheRoot) {
  app::AppState().program_name = "RBPNDLST";
  config::PathsState().root = "C:\\SUITE";
  EXPECT_EQ(app::FormFilePath(), "C:\\SUITEFORMS\\RBPNDLST.KPN");
}

TEST(ListReaderTest, QuotingBlanksAndLineEnds) {
  app::ListReader in("  abc ,\"  x, y  \" , 12\n\"\"\r\n-3,+4,  \n  last");
  std::string s;
  int16_t n = 0;
  ASSERT_TRUE(in.ReadText(s));
  EXPECT_EQ(s, "abc");
  ASSERT_TRUE(in.ReadText(s));
  EXPECT_EQ(s, "  x, y  ");
  ASSERT_TRUE(in.ReadInt(n));
  EXPECT_EQ(n, 12);
  ASSERT_TRUE(in.ReadText(s));
  EXPECT_EQ(s, "");
  ASSERT_TRUE(in.ReadInt(n));
  EXPECT_EQ(n, -3);
  ASSERT_TRUE(in.ReadInt(n));
  EXPECT_EQ(n, 4);
  ASSERT_TRUE(in.ReadText(s));
  EXPECT_EQ(s, "last");
  EXPECT_EQ(in.line(), 4);
  EXPECT_FALSE(in.ReadText(s));
  EXPECT_TRUE(in.AtEnd());
}

TEST(ListReaderTest, NumbersMustBeWholeAndFit) {
  for (const char* text : {"12a", "40000", "1.5", "abc"}) {
    app::ListReader in(text);
    int16_t n = 0;
    EXPECT_FALSE(in.ReadInt(n)) << text;
    EXPECT_EQ(in.not_a_number(), text);
  }
}

}  // namespace
