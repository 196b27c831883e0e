#pragma once
// Small helpers shared by the framework and the modules: addresses, splitting text, the standard
// message boxes, setting a string property by a dotted path, and copying a control.
#include <QObject>
#include <QString>
#include <QStringList>

class QWidget;

// Opens the address in the desktop's browser, putting "http://" in front when it has no such
// prefix (any letter case). A failure is not reported.
void OpenURL(const QString& url);
// The address OpenURL opens.
QString CompleteURL(const QString& url);

// Appends the parts of text between occurrences of separator (case-sensitive) to list. An empty
// text adds nothing; a trailing separator adds no empty last part.
void SplitString(const QString& separator, const QString& text, QStringList& list);
// Appends the parts of text cut at every character of delimiters. An empty text adds one empty
// part; a trailing delimiter adds an empty last part.
void SplitByChars(const QString& delimiters, const QString& text, QStringList& list);

// Message boxes over the application's window, captioned with the application title.
void ShowInfo(const QString& text);
void ShowError(const QString& text);
// True exactly when OK was chosen.
bool ConfirmBox(const QString& text);

// Sets a text property (or the whole text of a string-list property) named propName, letter
// case ignored (Caption and Hint also name a Qt widget's text, title or tool tip). False, with
// nothing changed, for no instance, no such property or another kind.
bool SetStringProperty(QObject* instance, const QString& propName, const QString& value);
// Resolves "Component.Object.Items[i].Property" against root (whose class name as the first
// segment means root itself). instance is nullptr when the path does not resolve. Raises for a
// middle segment that names no property, a bad index text or an index outside a collection.
void ResolvePropertyPath(QObject* root, const QString& path, QObject*& instance, QString& propName);
bool SetPropertyByPath(QObject* root, const QString& path, const QString& value);

// name, or name followed by the smallest number 1, 2, ... that owner does not use yet.
QString MakeUniqueName(const QObject* owner, const QString& name);

// Copies control with its properties and its named child controls into control's parent, under
// names made unique within its owner form. The copy shows the same models and data sources.
QObject* CloneControl(QWidget* control);
// The same with an explicit owner (whose names must stay unique) and parent.
QObject* CloneComponent(QWidget* control, QObject* owner, QWidget* parent);
// The form (or top-level widget) that owns control.
QObject* OwnerOf(const QWidget* control);
