#pragma once
// Free helpers over the data layer: a single value of a query, marking a record modified, the key
// column of a result, display width and text of a provider field, and where a locally installed
// server keeps its data.
#include <QString>
#include <QVariant>

class TADOConnection;
class TADOField;
class TADOQuery;
class TDataSet;

// value becomes the first column of the first row the statement returns, or stays unassigned.
// Server errors reach the caller.
void QueryFirstValue(const QString& sql, TADOConnection* connection, QVariant& value);
// Makes the current record count as modified by assigning the first writable field its own value.
void MarkRecordModified(TDataSet* dataSet);
// The name of the first field the provider marks as a key column, or empty.
QString GetKeyColumn(TADOQuery* query);
// The width a value of the field's data type needs as text; the defined size for other types.
int FieldDisplayWidth(const TADOField& field);
// The current value as text: empty for NULL, "yyyy-mm-dd hh:nn:ss:zzz" for dates and times.
QString FieldValueText(const TADOField& field);
// The same text appended to out, for readers that print many values without a string for each.
void AppendFieldValueText(QString& out, const TADOField& field);
// The first installed server instance the registry lists, or empty.
QString GetInstalledInstance();
// That instance's data root directory from the registry, or empty.
QString GetSQLDataRoot(const QString& instanceName);
