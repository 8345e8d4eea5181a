// SPDX-License-Identifier: BSD-3-Clause
#include "TestEnv.h"

#include "token/ContainerNameList.h"
#include "token/TQ7Info.h"

#include <QTest>

// The library's container list as the layer reads it: names one after another, each ending in NUL.
class tst_ContainerNameList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void keepsOnlyTheFirstNames();
};

void tst_ContainerNameList::parse_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("empty") << QByteArray() << QStringList();
    QTest::newRow("only separators") << QByteArray(5, '\0') << QStringList();
    QTest::newRow("two names") << QByteArray("alpha\0beta\0", 11) << QStringList{"alpha", "beta"};
    QTest::newRow("runs of separators")
        << QByteArray("\0\0alpha\0\0\0beta\0\0", 16) << QStringList{"alpha", "beta"};
    QTest::newRow("space kept") << QByteArray("my key\0", 7) << QStringList{"my key"};
    QTest::newRow("asterisk kept") << QByteArray("a*b\0* *\0", 8) << QStringList{"a*b", "* *"};
    QTest::newRow("blanks around kept") << QByteArray(" x \0", 4) << QStringList{" x "};
    QTest::newRow("last name without NUL") << QByteArray("alpha\0beta", 10) << QStringList{"alpha", "beta"};
    QTest::newRow("chinese") << QByteArray("容器一\0") << QStringList{QStringLiteral("容器一")};
    QTest::newRow("cut multibyte sequence")
        << QByteArray("ab\xe5\xae\0\xe5\0", 7)
        << QStringList{QStringLiteral("ab\uFFFD\uFFFD"), QStringLiteral("\uFFFD")};
    QTest::newRow("guid") << QByteArray("{5B1E3A44-7C1D-4F0A-9E55-0123456789AB}\0", 39)
                          << QStringList{"{5B1E3A44-7C1D-4F0A-9E55-0123456789AB}"};
}

void tst_ContainerNameList::parse()
{
    QFETCH(QByteArray, list);
    QFETCH(QStringList, names);
    QCOMPARE(ContainerNameList::parse(list, TQ7Info::MaxContainerNames), names);
}

void tst_ContainerNameList::keepsOnlyTheFirstNames()
{
    QByteArray list;
    QStringList all;
    for (int i = 0; i < 70; ++i) {
        all.append(QStringLiteral("c%1").arg(i));
        list += all.last().toLatin1() + '\0';
    }
    const QStringList names = ContainerNameList::parse(list, TQ7Info::MaxContainerNames);
    QCOMPARE(names, all.first(TQ7Info::MaxContainerNames));
}

QTEST_GUILESS_MAIN(tst_ContainerNameList)
#include "tst_containernamelist.moc"
