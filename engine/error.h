#pragma once

#include <QString>
#include <stdexcept>

namespace kdb {

// The one error type of the engine. Its message is written for the user, in Russian, and names
// the table and the field where there is one; windows show it as it stands.
class Error : public std::runtime_error {
public:
    enum class Code {
        General,
        NotFound,     // unknown alias, table, field or data folder
        Syntax,       // malformed filter or SQL text
        KeyViolation, // a second row with the same primary or unique key
        RecordLocked, // the record is being edited by another user
        ReadOnly,     // the dataset, field or data folder cannot be written
        State,        // an operation that the dataset's state does not allow
        Corrupt,      // a damaged data file
        Io,           // the store could not read or write its files
        Constraint,   // a required field left empty, or a value a rule of the table refuses
    };

    Error(Code code, const QString& message, const QString& table = {}, const QString& field = {});

    Code code() const { return m_code; }
    const QString& message() const { return m_message; }
    const QString& table() const { return m_table; }
    const QString& field() const { return m_field; }

private:
    Code m_code;
    QString m_message;
    QString m_table;
    QString m_field;
};

// Ends an operation silently: a rule of the data module refused it and has already told the
// user. The action guard of the windows swallows it without a second message.
class Abort : public std::exception {
public:
    const char* what() const noexcept override { return "operation aborted"; }
};

} // namespace kdb
