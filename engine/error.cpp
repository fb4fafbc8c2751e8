#include "error.h"

namespace kdb {

Error::Error(Code code, const QString& message, const QString& table, const QString& field)
    : std::runtime_error(message.toStdString()), m_code(code), m_message(message), m_table(table),
      m_field(field)
{
}

} // namespace kdb
