#include "Exception.h"
#include "TIniFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("test.ini")); }
    QByteArray bytes() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void write(const QByteArray& content) {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
};

TEST_F(IniFileTest, MissingFileGivesDefaultsAndFirstWriteCreatesIt) {
    TIniFile ini(path());
    EXPECT_EQ(ini.ReadString("connection", "Server", "none"), "none");
    EXPECT_EQ(ini.ReadInteger("connection", "Port", 7), 7);
    EXPECT_FALSE(QFile::exists(path()));
    ini.WriteString("connection", "Server", "host");
    EXPECT_EQ(bytes(), "[connection]\nServer=host\n");
}

TEST_F(IniFileTest, SectionsAndKeysIgnoreCaseIncludingCyrillic) {
    write("[Соединение]\nСервер=alpha\n[Main.Grid]\nWidth=10\n");
    TIniFile ini(path());
    EXPECT_EQ(ini.ReadString("соединение", "СЕРВЕР", ""), "alpha");
    EXPECT_EQ(ini.ReadInteger("MAIN.grid", "width", 0), 10);
    // A write through another spelling updates the existing key in place, keeping its spelling.
    ini.WriteString("СОЕДИНЕНИЕ", "сервер", "beta");
    EXPECT_EQ(bytes(), "[Соединение]\nСервер=beta\n[Main.Grid]\nWidth=10\n");
}

TEST_F(IniFileTest, ValuesAreKeptVerbatim) {
    TIniFile ini(path());
    const QStringList values = {"a,b", "@x", "C:\\Temp\\new", " padded ", "x=y;z", "\"quoted\"", "Склад"};
    for (int i = 0; i < values.size(); ++i)
        ini.WriteString("v", QStringLiteral("k%1").arg(i), values[i]);
    TIniFile other(path());
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(other.ReadString("v", QStringLiteral("k%1").arg(i), "?"), values[i]);
}

TEST_F(IniFileTest, UntouchedLinesCommentsAndLineBreaksSurviveAWrite) {
    write("; settings\r\n[a]\r\n  Key1 = one \r\n# note\r\n\r\n[b]\r\nx=1\r\n");
    TIniFile ini(path());
    ini.WriteString("a", "Key2", "two");
    ini.WriteString("b", "x", "2");
    EXPECT_EQ(bytes(), "; settings\r\n[a]\r\n  Key1 = one \r\n# note\r\nKey2=two\r\n\r\n[b]\r\nx=2\r\n");
    // The value is everything after "=", the key is trimmed.
    EXPECT_EQ(ini.ReadString("a", "Key1", ""), " one ");
}

TEST_F(IniFileTest, EachWriteIsSeenByAnotherObjectOverTheSameFile) {
    TIniFile first(path());
    TIniFile second(path());
    first.WriteString("s", "a", "1");
    second.WriteString("s", "b", "2");
    first.WriteString("s", "c", "3");
    EXPECT_EQ(bytes(), "[s]\na=1\nb=2\nc=3\n");
    EXPECT_EQ(second.ReadString("s", "c", ""), "3");
}

TEST_F(IniFileTest, NumbersAndBooleansFallBackToTheDefaultWhenTheTextDoesNotConvert) {
    write("[n]\ni=42\nbad=4x\nf=2.5\nb=1\nz=0\nhex=0x1F\n");
    TIniFile ini(path());
    EXPECT_EQ(ini.ReadInteger("n", "i", 0), 42);
    EXPECT_EQ(ini.ReadInteger("n", "bad", -1), -1);
    EXPECT_EQ(ini.ReadInteger("n", "hex", 0), 31);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("n", "f", 0), 2.5);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("n", "bad", 9.5), 9.5);
    EXPECT_TRUE(ini.ReadBool("n", "b", false));
    EXPECT_FALSE(ini.ReadBool("n", "z", true));
    EXPECT_TRUE(ini.ReadBool("n", "missing", true));
    ini.WriteInteger("n", "w", -17);
    EXPECT_EQ(ini.ReadString("n", "w", ""), "-17");
}

TEST_F(IniFileTest, SectionListingsFollowFileOrder) {
    write("[z]\nb=2\na=1\n[y]\n[Z]\nc=3\n");
    TIniFile ini(path());
    EXPECT_EQ(ini.ReadSections(), QStringList({"z", "y"}));
    EXPECT_EQ(ini.ReadSection("Z"), QStringList({"b", "a"}));
    const auto values = ini.ReadSectionValues("z");
    ASSERT_EQ(values.size(), 2);
    EXPECT_EQ(values[1].first, "a");
    EXPECT_EQ(values[1].second, "1");
    EXPECT_TRUE(ini.SectionExists("Y"));
    EXPECT_TRUE(ini.ValueExists("z", "A"));
    EXPECT_FALSE(ini.ValueExists("y", "a"));
}

TEST_F(IniFileTest, DeleteKeyAndEraseSectionRemoveOnlyTheirLines) {
    // Another section's Password comes first: a delete that ignored the section would take it.
    write("[z]\nPassword=keep\n[a]\nx=1\nPassword=secret\ny=2\n\n[b]\nz=3\n[c]\nw=4\n");
    TIniFile ini(path());
    ini.DeleteKey("A", "password");
    ini.DeleteKey("a", "missing");
    EXPECT_EQ(bytes(), "[z]\nPassword=keep\n[a]\nx=1\ny=2\n\n[b]\nz=3\n[c]\nw=4\n");
    ini.EraseSection("b");
    EXPECT_EQ(bytes(), "[z]\nPassword=keep\n[a]\nx=1\ny=2\n\n[c]\nw=4\n");
    EXPECT_FALSE(ini.SectionExists("b"));
}

TEST_F(IniFileTest, AWriteThatCannotReachTheDiskRaises) {
    TIniFile ini(dir.filePath("no/such/dir/test.ini"));
    EXPECT_THROW(ini.WriteString("s", "k", "v"), Exception);
}

} // namespace
