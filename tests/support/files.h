#pragma once

// Small file helpers the tests share.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace quillmer::test {

// A workbook of the shared corpus, such as "xls/poi_SampleSS.xls".
inline QString corpus(const QString& name)
{
    return QStringLiteral(QUILLMER_CORPUS "/") + name;
}

// The whole file, or nothing when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes (or replaces) a file, making its folder as needed.
inline void writeFile(const QString& path, const QByteArray& data)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), data.size());
}

// A shell script only its owner may run.
inline void writeScript(const QString& path, const QByteArray& body)
{
    writeFile(path, "#!/bin/sh\n" + body);
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

} // namespace quillmer::test
