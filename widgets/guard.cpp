#include "guard.h"

#include "error.h"
#include "messages.h"

#include <exception>

namespace widgets {

bool guarded(const std::function<void()>& handler, QWidget* parent)
{
    try {
        handler();
        return true;
    } catch (const kdb::Abort&) {
        // A rule has refused and has told the user already.
    } catch (const kdb::Error& e) {
        showError(e.message(), parent);
    } catch (const std::exception& e) {
        showError(QString::fromLocal8Bit(e.what()), parent);
    } catch (...) {
        showError(QStringLiteral("Неизвестная ошибка: операция не выполнена."), parent);
    }
    return false;
}

} // namespace widgets
