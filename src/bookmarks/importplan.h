#pragma once

#include <QList>
#include <QString>

// What an import of bookmarks will write, worked out before anything is
// written: the categories that receive URLs, each with the URLs it receives,
// in the order they are to be added. Every text is already in the form the
// files store (only characters the cipher can carry, descriptions cut to
// their longest length), so writing the plan refuses nothing for its texts.
namespace modMain {

struct PlannedUrl {
    QString address;     // as Add URL stores a typed address
    QString description; // as typed: line breaks as CR LF
};

struct PlannedCategory {
    QString name;   // the category's name (trimmed)
    int number = 0; // the number of an existing category; 0 for a new one
    QList<PlannedUrl> urls;
};

using ImportPlan = QList<PlannedCategory>;

} // namespace modMain
