"""Evaluates a Windows Installer condition (a sequence table's Condition column) against a set of
property values, so that the release check can tell on which kinds of installation an action
runs. It knows the part of the condition syntax that packages of this kind use: property names,
"text" and integers, parentheses, NOT, AND, OR, XOR, EQV, IMP, and the comparisons = <> < > <= >=,
>< (contains), << (begins with), >> (ends with), each also with ~ (letters in any case)
(https://learn.microsoft.com/en-us/windows/win32/msi/conditional-statement-syntax). Anything else,
such as a feature's or a component's state, raises ConditionError: the caller fails closed."""
import re

TOKEN = re.compile(r'\s*(?:(?P<text>"[^"]*")|(?P<number>-?[0-9]+)|(?P<op>~?(?:<>|><|<<|>>|<=|>=|=|<|>))'
                   r'|(?P<paren>[()])|(?P<name>%?[A-Za-z_][A-Za-z0-9_.]*))')
LOGICAL = ["IMP", "EQV", "XOR", "OR", "AND"]  # from the loosest binding to the tightest


class ConditionError(ValueError):
    pass


class Text(str):
    """A quoted text of the condition, which stays text even when it holds digits."""


def tokens(condition):
    position, found = 0, []
    while condition[position:].strip():
        match = TOKEN.match(condition, position)
        if not match:
            raise ConditionError(f"cannot read {condition[position:]!r}")
        kind = match.lastgroup
        value = match[kind]
        if kind == "name" and value.upper() in LOGICAL + ["NOT"]:
            kind, value = "logical", value.upper()
        found.append((kind, value))
        position = match.end()
    return found


class Parser:
    def __init__(self, condition, properties):
        self.tokens, self.properties = tokens(condition), properties

    def peek(self):
        return self.tokens[0] if self.tokens else (None, None)

    def take(self):
        return self.tokens.pop(0) if self.tokens else (None, None)

    def expression(self, level=0):
        if level == len(LOGICAL):
            return self.negation()
        left = self.expression(level + 1)
        while self.peek() == ("logical", LOGICAL[level]):
            self.take()
            right = self.expression(level + 1)
            left = {"IMP": not left or right, "EQV": left == right, "XOR": left != right,
                    "OR": left or right, "AND": left and right}[LOGICAL[level]]
        return left

    def negation(self):
        if self.peek() == ("logical", "NOT"):
            self.take()
            return not self.negation()
        if self.peek() == ("paren", "("):
            self.take()
            value = self.expression()
            if self.take() != ("paren", ")"):
                raise ConditionError("a parenthesis is not closed")
            return value
        left = self.value()
        if self.peek()[0] != "op":
            return left != ""
        operator = self.take()[1]
        return compare(left, operator, self.value())

    def value(self):
        kind, value = self.take()
        if kind == "text":
            return Text(value[1:-1])
        if kind == "number":
            return int(value)
        if kind == "name" and not value.startswith("%"):
            return self.properties.get(value, "")
        raise ConditionError(f"expected a value, found {value!r}")


def compare(left, operator, right):
    if operator.startswith("~"):
        operator = operator[1:]
        left, right = (type(v)(v.lower()) if isinstance(v, str) else v for v in (left, right))
    # A property holding an integer's text compares as that integer.
    left, right = (int(v) if isinstance(v, str) and not isinstance(v, Text) and re.fullmatch(r"-?[0-9]+", v) else v
                   for v in (left, right))
    if isinstance(left, int) != isinstance(right, int):
        return operator == "<>"
    if operator in ("><", "<<", ">>"):
        left, right = str(left), str(right)
        return {"><": right in left, "<<": left.startswith(right), ">>": left.endswith(right)}[operator]
    return {"=": left == right, "<>": left != right, "<": left < right, ">": left > right,
            "<=": left <= right, ">=": left >= right}[operator]


def holds(condition, properties):
    """Whether the condition is true with these properties (others are unset); an empty
    condition is true."""
    if not condition.strip():
        return True
    parser = Parser(condition, properties)
    value = parser.expression()
    if parser.tokens:
        raise ConditionError(f"cannot read {condition!r} after its end")
    return value
