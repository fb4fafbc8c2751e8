#pragma once

// The expressions of report items: field names of a dataset, 'quoted' texts (two quotes stand
// for one), whole numbers, "+" (concatenation, or a sum when both sides are numbers),
// parentheses and the aggregate Count (rows printed so far by the band's dataset loop).

#include <QString>
#include <memory>
#include <vector>

namespace kdb {
class Dataset;
}

namespace report {

class Expression {
public:
    struct Context {
        kdb::Dataset* dataset = nullptr; // fields are read from it at row
        int row = -1;
        int count = 0; // the value of Count
    };

    // Throws kdb::Error(Syntax) naming the text on a malformed expression.
    static std::shared_ptr<Expression> parse(const QString& text);
    QString evaluate(const Context& context) const;

    struct Node;

private:
    std::shared_ptr<Node> m_root;
    QString m_text;
};

} // namespace report
