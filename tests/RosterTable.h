#pragma once

// The shipped deployment table as the tests read it, independently of the build's embedding step.

#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

struct TableRow {
    QString ticket, name, id, score;
};

// Rows 1..344 at indices 1..344; index 0 is the header's place and stays empty.
inline QList<TableRow> readRosterTable()
{
    QFile file(QStringLiteral(ROSTER_TABLE_PATH));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", ROSTER_TABLE_PATH);
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QList<TableRow> rows{TableRow{}};
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList f = lines[i].split(u'\t');
        rows.append({f.value(0), f.value(1), f.value(2), f.value(3)});
    }
    return rows;
}

// The first row (by row number) that satisfies `pred`, or 0.
template <class Pred> int firstRowWhere(const QList<TableRow>& rows, Pred pred)
{
    for (int row = 1; row < rows.size(); ++row)
        if (pred(rows[row]))
            return row;
    return 0;
}
