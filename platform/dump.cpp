// The window tree as one JSON line: per window its class, id, page, text, rectangle, visible, enabled,
// and what a control holds.
#include "platform/script.h"
#include "platform/window_system.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

bool IsPageWindow(const WindowRecord* record) {
    if (record->windowClass->kind != ControlKind::Registered || !record->parent) return false;
    const WindowRecord* parent = FindWindowRecord(record->parent);
    return parent && parent->windowClass->kind == ControlKind::Tab;
}

QJsonValue PageOf(const WindowRecord* record) {
    for (const WindowRecord* walk = record; walk; walk = FindWindowRecord(walk->parent))
        if (IsPageWindow(walk)) return QString::fromStdU16String(walk->windowClass->name);
    return QJsonValue::Null;
}

} // namespace

std::string DumpWindowTree() {
    ApplyDeferredUpdates();
    QJsonArray list;
    for (WindowRecord* record : AllWindowRecords()) {
        if (record->destroyed) continue;
        QJsonObject object;
        object["class"] = QString::fromStdU16String(record->windowClass->name);
        object["id"] = record->id;
        object["page"] = PageOf(record);
        object["text"] = QString::fromStdU16String(record->text);
        bool topLevel = record->parent == nullptr;
        object["x"] = topLevel && record->x == UseDefaultPosition ? 0 : record->x;
        object["y"] = topLevel && record->y == UseDefaultPosition ? 0 : record->y;
        object["w"] = record->width;
        object["h"] = record->height;
        object["visible"] = record->visible;
        object["enabled"] = record->enabled;
        DescribeControl(record, object);
        list.append(object);
    }
    QJsonObject tree{
        {"windows", list}
    };
    return QJsonDocument(tree).toJson(QJsonDocument::Compact).toStdString();
}

std::string DescribeMessageBox(Window owner, const char16_t* text, const char16_t* caption) {
    const WindowRecord* record = FindWindowRecord(owner);
    QJsonObject box;
    box["owner"] =
        record ? QJsonValue(QString::fromStdU16String(record->windowClass->name)) : QJsonValue::Null;
    box["caption"] = QString::fromUtf16(caption);
    box["text"] = QString::fromUtf16(text);
    return QJsonDocument(QJsonObject{
                             {"box", box}
    })
        .toJson(QJsonDocument::Compact)
        .toStdString();
}
