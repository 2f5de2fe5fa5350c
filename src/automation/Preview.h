#pragma once

#include <QString>

class QWidget;

// Hands a post to the forum's own preview through its posting form, modally
// over `owner`; returns when the preview window has closed. True when the
// user published the post with "Abschicken" (the forum then holds the text).
bool OpenPreview(QWidget *owner, qint32 threadNumber, const QString &body, const QString &subject);
