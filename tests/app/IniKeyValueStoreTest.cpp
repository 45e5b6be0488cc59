#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>

#include "app/IniKeyValueStore.h"
#include "app/SavedServerList.h"

namespace ambro::app {
namespace {

const std::string kKey = "Software\\Brevantis\\AmbroV2";

TEST(IniKeyValueStore, KeepsValuesWithTheirTabsAcrossInstances) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("config/Ambro.ini"));
    {
        IniKeyValueStore store(path);
        store.setValue(kKey, "IP_0", "cam.example\t");
        store.setValue(kKey, "Pass_0", "p, w=\"1\"\t");
    }
    IniKeyValueStore store(path);
    EXPECT_EQ(store.value(kKey, "IP_0"), "cam.example\t");
    EXPECT_EQ(store.value(kKey, "Pass_0"), "p, w=\"1\"\t");
    EXPECT_FALSE(store.value(kKey, "Name_0"));
    EXPECT_FALSE(store.value("Software\\Brevantis\\AmbroV2Rpb", "IP_0"));
    store.removeValue(kKey, "IP_0");
    EXPECT_FALSE(store.value(kKey, "IP_0"));
}

TEST(IniKeyValueStore, FileIsReadableByItsOwnerOnly) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Ambro.ini"));
    IniKeyValueStore store(path);
    store.setValue(kKey, "Pass_0", "secret\t");
    struct stat status {};
    ASSERT_EQ(::stat(path.toLocal8Bit().constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
}

TEST(IniKeyValueStore, HandEditedFileLoadsWhatItCan) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Ambro.ini"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Software]\n"
               "Brevantis\\AmbroV2\\CountVal=123456789012345678901234567890\n"
               "Brevantis\\AmbroV2\\IP_0=a, b, c\n"
               "Brevantis\\AmbroV2\\Port_0=@Variant(garbage\n"
               "Brevantis\\AmbroV2\\Name_0=" +
               QByteArray(5000, 'n') +
               "\n"
               "Brevantis\\AmbroV2\\Pass_0=\n"
               "Brevantis\\AmbroV2\\IP_1=only an address\n");
    file.close();
    IniKeyValueStore store(path);
    SavedServerList list(SessionKind::Live);
    list.load(store);
    ASSERT_EQ(list.entries().size(), 1u);
    EXPECT_EQ(list.entries()[0].address, "a,b,c");
    EXPECT_EQ(list.entries()[0].userName, std::string(63, 'n'));
}

}  // namespace
}  // namespace ambro::app
