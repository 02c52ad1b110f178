#include "metric_expression.h"

#include "errors.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace cyclesim {

struct MetricExpression::Node {
    char op = 0;  // 0: number, 'n': name, 'u': unary minus, else + - * /
    double number = 0.0;
    std::string name;
    std::unique_ptr<Node> left, right;
};

namespace {

using Node = MetricExpression::Node;

// Recursive descent: sum := product (('+'|'-') product)*,
// product := factor (('*'|'/') factor)*, factor := '-' factor | atom,
// atom := number | name | '(' sum ')'.
class Parser {
public:
    Parser(const std::string& text, const std::string& where, std::vector<std::string>& names)
        : s_(text), where_(where), names_(names)
    {
    }

    std::unique_ptr<Node> parse()
    {
        auto n = sum();
        skip();
        if (i_ < s_.size()) fail("unexpected '" + std::string(1, s_[i_]) + "'");
        return n;
    }

private:
    [[noreturn]] void fail(const std::string& reason) const
    {
        throw SimulationError(where_ + ": " + reason + " at character " + std::to_string(i_ + 1) + " of \"" + s_ +
                              "\"");
    }
    void skip()
    {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
    }
    static std::unique_ptr<Node> binary(char op, std::unique_ptr<Node> l, std::unique_ptr<Node> r)
    {
        auto n = std::make_unique<Node>();
        n->op = op;
        n->left = std::move(l);
        n->right = std::move(r);
        return n;
    }
    std::unique_ptr<Node> sum()
    {
        auto n = product();
        for (skip(); i_ < s_.size() && (s_[i_] == '+' || s_[i_] == '-'); skip()) {
            char op = s_[i_++];
            n = binary(op, std::move(n), product());
        }
        return n;
    }
    std::unique_ptr<Node> product()
    {
        auto n = factor();
        for (skip(); i_ < s_.size() && (s_[i_] == '*' || s_[i_] == '/'); skip()) {
            char op = s_[i_++];
            n = binary(op, std::move(n), factor());
        }
        return n;
    }
    std::unique_ptr<Node> factor()
    {
        skip();
        if (i_ < s_.size() && s_[i_] == '-') {
            ++i_;
            auto n = std::make_unique<Node>();
            n->op = 'u';
            n->left = factor();
            return n;
        }
        return atom();
    }
    std::unique_ptr<Node> atom()
    {
        skip();
        if (i_ >= s_.size()) fail("expression ends too early");
        auto n = std::make_unique<Node>();
        const char c = s_[i_];
        if (c == '(') {
            ++i_;
            n = sum();
            skip();
            if (i_ >= s_.size() || s_[i_] != ')') fail("missing ')'");
            ++i_;
            return n;
        }
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
            const char* begin = s_.c_str() + i_;
            char* end = nullptr;
            n->number = std::strtod(begin, &end);
            if (end == begin) fail("bad number");
            i_ += static_cast<std::size_t>(end - begin);
            return n;
        }
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            std::size_t j = i_;
            while (j < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[j])) || s_[j] == '_')) ++j;
            n->op = 'n';
            n->name = s_.substr(i_, j - i_);
            names_.push_back(n->name);
            i_ = j;
            return n;
        }
        fail("unexpected '" + std::string(1, c) + "'");
    }

    const std::string& s_;
    std::string where_;
    std::vector<std::string>& names_;
    std::size_t i_ = 0;
};

double eval(const Node& n, const std::map<std::string, double>& values)
{
    switch (n.op) {
    case 0: return n.number;
    case 'n': {
        auto it = values.find(n.name);
        return it == values.end() ? std::nan("") : it->second;
    }
    case 'u': return -eval(*n.left, values);
    case '+': return eval(*n.left, values) + eval(*n.right, values);
    case '-': return eval(*n.left, values) - eval(*n.right, values);
    case '*': return eval(*n.left, values) * eval(*n.right, values);
    default: return eval(*n.left, values) / eval(*n.right, values);
    }
}

}  // namespace

MetricExpression::MetricExpression(const std::string& text, const std::string& where)
{
    Parser p(text, where, names_);
    root_ = p.parse();
}

MetricExpression::~MetricExpression() = default;
MetricExpression::MetricExpression(MetricExpression&&) noexcept = default;
MetricExpression& MetricExpression::operator=(MetricExpression&&) noexcept = default;

double MetricExpression::evaluate(const std::map<std::string, double>& values) const
{
    return eval(*root_, values);
}

}  // namespace cyclesim
