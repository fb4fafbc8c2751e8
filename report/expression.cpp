#include "expression.h"

#include "dataset.h"
#include "error.h"

#include <QVariant>

namespace report {

struct Expression::Node {
    enum class Kind { Text, Number, Field, Count, Plus };
    Kind kind = Kind::Text;
    QString text; // Text: the value; Field: the name
    qlonglong number = 0;
    std::shared_ptr<Node> left, right;
};

namespace {

using Node = Expression::Node;

// A value while evaluating: a number stays a number until it meets a text.
struct Value {
    bool isNumber = false;
    double number = 0;
    QString text;
    QString asText() const { return isNumber ? QString::number(number, 'g', 15) : text; }
};

class Parser {
public:
    explicit Parser(const QString& text) : m_text(text) {}

    std::shared_ptr<Node> parse()
    {
        auto node = sum();
        skipSpace();
        if (m_pos < m_text.size())
            fail();
        return node;
    }

private:
    [[noreturn]] void fail() const
    {
        throw kdb::Error(kdb::Error::Code::Syntax,
                         QStringLiteral("Ошибка в выражении отчета \"%1\" (позиция %2).")
                             .arg(m_text)
                             .arg(m_pos + 1));
    }
    void skipSpace()
    {
        while (m_pos < m_text.size() && m_text[m_pos].isSpace())
            ++m_pos;
    }
    std::shared_ptr<Node> sum()
    {
        auto left = term();
        for (;;) {
            skipSpace();
            if (m_pos >= m_text.size() || m_text[m_pos] != QLatin1Char('+'))
                return left;
            ++m_pos;
            auto node = std::make_shared<Node>();
            node->kind = Node::Kind::Plus;
            node->left = left;
            node->right = term();
            left = node;
        }
    }
    std::shared_ptr<Node> term()
    {
        skipSpace();
        if (m_pos >= m_text.size())
            fail();
        auto node = std::make_shared<Node>();
        const QChar c = m_text[m_pos];
        if (c == QLatin1Char('(')) {
            ++m_pos;
            node = sum();
            skipSpace();
            if (m_pos >= m_text.size() || m_text[m_pos] != QLatin1Char(')'))
                fail();
            ++m_pos;
            return node;
        }
        if (c == QLatin1Char('\'')) {
            ++m_pos;
            for (;;) {
                if (m_pos >= m_text.size())
                    fail();
                if (m_text[m_pos] == QLatin1Char('\'')) {
                    if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == QLatin1Char('\'')) {
                        node->text += QLatin1Char('\'');
                        m_pos += 2;
                        continue;
                    }
                    ++m_pos;
                    break;
                }
                node->text += m_text[m_pos++];
            }
            return node;
        }
        if (c.isDigit()) {
            const qsizetype start = m_pos;
            while (m_pos < m_text.size() && m_text[m_pos].isDigit())
                ++m_pos;
            node->kind = Node::Kind::Number;
            node->number = m_text.mid(start, m_pos - start).toLongLong();
            return node;
        }
        if (c.isLetter() || c == QLatin1Char('_')) {
            const qsizetype start = m_pos;
            while (m_pos < m_text.size() &&
                   (m_text[m_pos].isLetterOrNumber() || m_text[m_pos] == QLatin1Char('_')))
                ++m_pos;
            node->text = m_text.mid(start, m_pos - start);
            node->kind = node->text.compare(QLatin1String("Count"), Qt::CaseInsensitive) == 0
                             ? Node::Kind::Count
                             : Node::Kind::Field;
            return node;
        }
        fail();
    }

    const QString& m_text;
    qsizetype m_pos = 0;
};

Value evaluateNode(const Node& node, const Expression::Context& context, const QString& text)
{
    Value v;
    switch (node.kind) {
    case Node::Kind::Text:
        v.text = node.text;
        break;
    case Node::Kind::Number:
        v.isNumber = true;
        v.number = static_cast<double>(node.number);
        break;
    case Node::Kind::Count:
        v.isNumber = true;
        v.number = context.count;
        break;
    case Node::Kind::Field: {
        const kdb::Field* f = context.dataset ? context.dataset->findField(node.text) : nullptr;
        if (!f)
            throw kdb::Error(kdb::Error::Code::NotFound,
                             QStringLiteral("В выражении отчета \"%1\" неизвестное поле %2.")
                                 .arg(text, node.text));
        const QVariant value =
            context.row >= 0 ? context.dataset->valueAt(context.row, f->index()) : QVariant();
        if (!value.isNull() &&
            (kdb::isIntegerType(f->type()) || f->type() == kdb::FieldType::Float)) {
            v.isNumber = true;
            v.number = value.toDouble();
        } else {
            v.text = f->displayTextOf(value);
        }
        break;
    }
    case Node::Kind::Plus: {
        const Value a = evaluateNode(*node.left, context, text);
        const Value b = evaluateNode(*node.right, context, text);
        if (a.isNumber && b.isNumber) {
            v.isNumber = true;
            v.number = a.number + b.number;
        } else {
            v.text = a.asText() + b.asText();
        }
        break;
    }
    }
    return v;
}

} // namespace

std::shared_ptr<Expression> Expression::parse(const QString& text)
{
    auto e = std::make_shared<Expression>();
    e->m_text = text;
    e->m_root = Parser(text).parse();
    return e;
}

QString Expression::evaluate(const Context& context) const
{
    return evaluateNode(*m_root, context, m_text).asText();
}

} // namespace report
