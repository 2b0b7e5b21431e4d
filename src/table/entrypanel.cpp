#include "table/entrypanel.h"

#include "codec/numbers.h"

namespace telvaro {

namespace {

QString normalisedInterval(const QString &text)
{
    const auto value = StrictValue(text);
    if (!value || !RoundToInt64(*value))
        return text;
    return FormatPicture(*value, u"000");
}

} // namespace

EntryPanel::EntryPanel(QObject *parent) : QObject(parent)
{
    m_boxes = {{Box::MessageNumber, QStringLiteral("000")},
               {Box::Interval, QStringLiteral("200")},
               {Box::RepeatCaption, QStringLiteral("0")}};
}

void EntryPanel::setBox(Box which, const QString &text)
{
    const QString value = which == Box::Interval ? normalisedInterval(text) : text;
    auto it = m_boxes.find(which);
    if (it != m_boxes.end() && *it == value)
        return;
    m_boxes.insert(which, value);
    Q_EMIT boxChanged(which);
}

} // namespace telvaro
