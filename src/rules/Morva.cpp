#include "rules/Morva.h"

#include "platform/TextFile.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace kalix {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// ---------------------------------------------------------------------------
// Reading the "[Morvo]" section.

// The decimal number at the start of a line, saturated at the largest level.
int32_t LeadingNumber(std::string_view line) {
  int64_t value = 0;
  for (char c : line) {
    if (!IsDigit(c)) break;
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(value);
}

// Splits a folded rule line into its level text, From, To and Condition.
// A field that begins with a double quote runs at least to the next double
// quote. False when the line lacks one of its three commas.
bool SplitRuleLine(const std::string& line, std::string_view fields[4]) {
  size_t pos = 0;
  for (int k = 0; k < 3; ++k) {
    size_t scanFrom = pos;
    if (pos < line.size() && line[pos] == '"') {
      size_t close = line.find('"', pos + 1);
      if (close == std::string::npos) return false;
      scanFrom = close + 1;
    }
    size_t comma = line.find(',', scanFrom);
    if (comma == std::string::npos) return false;
    fields[k] = std::string_view(line).substr(pos, comma - pos);
    pos = comma + 1;
  }
  fields[3] = std::string_view(line).substr(pos);
  return true;
}

// ---------------------------------------------------------------------------
// Conditions.

struct Operand {
  bool IsText = false;
  uint32_t Number = 0;  // 32-bit signed arithmetic, wrapping
  std::string_view Text;
};

int Binding(char op) {
  switch (op) {
    case '+': case '-': return 3;
    case '=': case '#': return 2;
    default: return 1;  // '&', '|'
  }
}

bool IsOperator(char c) {
  return c == '+' || c == '-' || c == '=' || c == '#' || c == '&' || c == '|';
}

// Whether a string literal equals the word at a position: inside the word,
// when the word's characters from there begin with it; outside, when it is a
// single blank. An empty literal equals everywhere.
bool LiteralEquals(std::string_view literal, std::string_view word, int32_t position) {
  if (literal.empty()) return true;
  if (position < 0 || static_cast<size_t>(position) >= word.size()) return literal == " ";
  return word.substr(static_cast<size_t>(position)).starts_with(literal);
}

// Applies a binary operator to the two topmost operands. False on a
// combination that has no value (arithmetic on a string literal).
bool ApplyOperator(std::vector<Operand>& operands, char op, std::string_view word) {
  Operand b = operands.back();
  operands.pop_back();
  Operand a = operands.back();
  operands.pop_back();
  Operand r;
  switch (op) {
    case '+': case '-': case '&': case '|':
      if (a.IsText || b.IsText) return false;
      r.Number = op == '+' ? a.Number + b.Number
               : op == '-' ? a.Number - b.Number
               : op == '&' ? (a.Number & b.Number)
                           : (a.Number | b.Number);
      break;
    default: {  // '=', '#'
      bool equal;
      if (a.IsText != b.IsText) {
        const Operand& text = a.IsText ? a : b;
        const Operand& number = a.IsText ? b : a;
        equal = LiteralEquals(text.Text, word, static_cast<int32_t>(number.Number));
      } else if (a.IsText) {
        equal = a.Text == b.Text;
      } else {
        equal = a.Number == b.Number;
      }
      r.Number = (op == '=') == equal ? 1 : 0;
      break;
    }
  }
  operands.push_back(r);
  return true;
}

// One level of parentheses being read: where it ends (its ")" or the end of
// the condition), where its operands and operators start on the stacks, and
// the sign written before its "(".
struct Frame {
  size_t End;
  size_t OperandBase;
  size_t OperatorBase;
  char Sign;
};

// Evaluates a condition; false when it has an error. Parentheses are read
// without recursion, so deep nesting costs no stack: each level is a frame.
class Evaluator {
 public:
  Evaluator(std::string_view cond, std::string_view word, int32_t position)
      : cond_(cond), word_(word), position_(position) {}

  bool Run(int32_t& value) {
    MatchParentheses();
    frames_.push_back(Frame{cond_.size(), 0, 0, 0});
    for (;;) {
      const Frame frame = frames_.back();
      Step step;
      if (pos_ == frame.End) {
        step = EndFrame(frame);
      } else if (expectOperand_) {
        step = ReadOperand(frame);
      } else {
        step = ReadOperator(frame);
      }
      if (step == Step::Fail) return false;
      if (step == Step::Done) break;
    }
    if (operands_.size() != 1 || operands_.back().IsText) return false;
    value = static_cast<int32_t>(operands_.back().Number);
    return true;
  }

 private:
  enum class Step { Go, Fail, Done };

  // The matching ")" of each "(", counting every parenthesis, those inside
  // string literals included.
  void MatchParentheses() {
    if (cond_.find('(') == std::string_view::npos) return;
    match_.assign(cond_.size(), -1);
    std::vector<int32_t> open;
    for (size_t i = 0; i < cond_.size(); ++i) {
      if (cond_[i] == '(') {
        open.push_back(static_cast<int32_t>(i));
      } else if (cond_[i] == ')' && !open.empty()) {
        match_[static_cast<size_t>(open.back())] = static_cast<int32_t>(i);
        open.pop_back();
      }
    }
  }

  // Applies the operators left on the stack down to `base`.
  bool Reduce(size_t base, char before) {
    while (operators_.size() > base && (before == 0 || Binding(operators_.back()) >= Binding(before))) {
      char op = operators_.back();
      operators_.pop_back();
      if (!ApplyOperator(operands_, op, word_)) return false;
    }
    return true;
  }

  // The end of a level: its value is worked out, and negated when a "-"
  // stood before its "(".
  Step EndFrame(const Frame& frame) {
    if (expectOperand_) return Step::Fail;  // empty, or ends after an operator or sign
    if (!Reduce(frame.OperatorBase, 0)) return Step::Fail;
    frames_.pop_back();
    if (frames_.empty()) return Step::Done;
    if (frame.Sign == '-') {
      if (operands_.back().IsText) return Step::Fail;
      operands_.back().Number = 0u - operands_.back().Number;
    }
    pos_ = frame.End + 1;
    return Step::Go;
  }

  // A sign, an operand, or the "(" of a new level.
  Step ReadOperand(const Frame& frame) {
    const char c = cond_[pos_];
    if (c == '+' || c == '-') {
      if (sign_ != 0) return Step::Fail;  // two signs in a row
      sign_ = c;
      ++pos_;
      return Step::Go;
    }
    if (c == '(') {
      if (match_.empty() || match_[pos_] < 0) return Step::Fail;  // no matching ")"
      frames_.push_back(Frame{static_cast<size_t>(match_[pos_]), operands_.size(), operators_.size(), sign_});
      sign_ = 0;
      ++pos_;
      return Step::Go;
    }
    Operand operand;
    if (c == 'X' || c == 'x') {
      operand.Number = static_cast<uint32_t>(position_);
      ++pos_;
    } else if (IsDigit(c)) {
      uint32_t number = 0;
      while (pos_ < frame.End && IsDigit(cond_[pos_])) {
        number = number * 10u + static_cast<uint32_t>(cond_[pos_] - '0');
        ++pos_;
      }
      operand.Number = sign_ == '-' ? 0u - number : number;
    } else if (c == '"' || c == '\'') {
      size_t close = cond_.substr(0, frame.End).find(c, pos_ + 1);
      if (close == std::string_view::npos) return Step::Fail;  // no closing quote
      operand.IsText = true;
      operand.Text = cond_.substr(pos_ + 1, close - pos_ - 1);
      pos_ = close + 1;
    } else {
      return Step::Fail;  // an operator, a ")" or an unknown character
    }
    operands_.push_back(operand);
    sign_ = 0;
    expectOperand_ = false;
    return Step::Go;
  }

  // A binary operator: those before it that bind at least as tightly are
  // applied first.
  Step ReadOperator(const Frame& frame) {
    const char c = cond_[pos_];
    if (!IsOperator(c)) return Step::Fail;  // an operand, a ")" or an unknown character
    if (!Reduce(frame.OperatorBase, c)) return Step::Fail;
    operators_.push_back(c);
    expectOperand_ = true;
    ++pos_;
    return Step::Go;
  }

  const std::string_view cond_;
  const std::string_view word_;
  const int32_t position_;
  std::vector<int32_t> match_;
  std::vector<Operand> operands_;
  std::vector<char> operators_;
  std::vector<Frame> frames_;
  bool expectOperand_ = true;
  char sign_ = 0;
  size_t pos_ = 0;
};

bool Evaluate(std::string_view cond, std::string_view word, int32_t position, int32_t& value) {
  return Evaluator(cond, word, position).Run(value);
}

}  // namespace

// ---------------------------------------------------------------------------

void ParseMorvaRules(MorvaRules& morva, const RuleSet& rules, std::string_view text) {
  morva = MorvaRules();
  morva.Exists = true;
  bool inSection = false;
  for (std::string_view raw : SplitLines(text)) {
    std::string_view line = CutAtZero(raw);
    if (!inSection) {
      inSection = line.starts_with("[Morvo]");
      continue;
    }
    if (line.empty()) continue;
    if (line[0] == '[') break;
    if (!IsDigit(line[0])) continue;
    int32_t level = LeadingNumber(line);
    std::string folded;
    for (char c : line) {
      unsigned char u = rules.UpperMap[static_cast<unsigned char>(c)];
      if (u == 0) break;
      folded.push_back(static_cast<char>(u));
    }
    std::string_view fields[4];
    if (!SplitRuleLine(folded, fields)) continue;
    if (fields[1].empty() || fields[3].empty()) continue;
    if (fields[1].size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ||
        fields[3].size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
      continue;
    }
    MorvaRule rule;
    rule.Level = level;
    rule.From = std::string(fields[1]);
    rule.To = std::string(fields[2]);
    rule.Condition = std::string(fields[3]);
    rule.FromLength = static_cast<int32_t>(rule.From.size());
    rule.ConditionLength = static_cast<int32_t>(rule.Condition.size());
    morva.MaxLevel = std::max(morva.MaxLevel, level);
    morva.List.push_back(std::move(rule));
  }
}

bool LoadMorvaRules(MorvaRules& morva, const RuleSet& rules, const std::string& path) {
  auto text = ReadTextFile(path);
  if (!text) return false;
  ParseMorvaRules(morva, rules, *text);
  return true;
}

void FreeMorvaRules(MorvaRules& morva) { morva = MorvaRules(); }

int32_t EvalCondition(std::string_view condition, std::string_view word, int32_t position) {
  int32_t value = 0;
  return Evaluate(condition, word, position, value) ? value : 0;
}

bool ExpandOnce(const MorvaRules& morva, std::string_view word, int level, Generation& gen) {
  bool result = false;
  const size_t n = word.size();
  std::string variant;
  for (size_t p = 0; p < n; ++p) {
    for (const MorvaRule& rule : morva.List) {
      if (rule.Level > level) continue;
      if (rule.From.size() > n - p || word.compare(p, rule.From.size(), rule.From) != 0) continue;
      if (EvalCondition(rule.Condition, word, static_cast<int32_t>(p)) == 0) continue;
      result = true;
      size_t tailStart = p + rule.From.size();
      size_t tailLength = std::min<size_t>(128, n - tailStart);
      if (p + rule.To.size() + tailLength > kMaxVariantLength) continue;
      variant.assign(word.substr(0, p));
      variant += rule.To;
      variant += word.substr(tailStart, tailLength);
      if (gen.Known.contains(variant)) continue;
      if (gen.Known.size() >= kMaxVariants) {
        gen.Full = true;
        return result;
      }
      gen.Known.insert(variant);
      gen.Pending.push_back(variant);
    }
  }
  return result;
}

VariantList GenerateVariants(const MorvaRules& morva, const std::string& word, int level) {
  VariantList result;
  if (!morva.Exists || morva.List.empty()) {
    result.variants.push_back(word);
    return result;
  }
  // The variant list, kept in the fixed collation, with the expanded flags.
  struct Entry {
    std::string Text;
    bool Expanded = false;
  };
  std::vector<Entry> list{Entry{word, false}};
  Generation gen;
  gen.Known.insert(word);
  bool changed;
  do {
    changed = false;
    for (size_t i = list.size(); i-- > 0 && !gen.Full;) {
      if (list[i].Expanded) continue;
      list[i].Expanded = true;
      if (ExpandOnce(morva, list[i].Text, level, gen)) changed = true;
    }
    if (!gen.Pending.empty()) {
      // The pending strings are unknown to the list and distinct after
      // folding, so sorting them and merging keeps every text once.
      std::sort(gen.Pending.begin(), gen.Pending.end(), FixedLess());
      std::vector<Entry> merged;
      merged.reserve(list.size() + gen.Pending.size());
      size_t a = 0;
      size_t b = 0;
      while (a < list.size() || b < gen.Pending.size()) {
        if (b == gen.Pending.size() ||
            (a < list.size() && FixedCompare(list[a].Text, gen.Pending[b]) < 0)) {
          merged.push_back(std::move(list[a++]));
        } else {
          merged.push_back(Entry{std::move(gen.Pending[b++]), false});
        }
      }
      list = std::move(merged);
      gen.Pending.clear();
    }
  } while (changed && !gen.Full);
  result.bounded = gen.Full;
  result.variants.reserve(list.size());
  for (Entry& e : list) result.variants.push_back(std::move(e.Text));
  return result;
}

}  // namespace kalix
