// The line calculator on an arbitrary line: the rewrite, the evaluation and the number texts.
// A line that is an expression rewrites to one that reads as the same expression again.
#include "tools/calculator/calculator.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_input.h"

using qm::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const qm::Calculator calculator;
    const std::string_view line(reinterpret_cast<const char*>(data), size);

    const std::optional<std::string> rewritten = calculator.rewrite(line);
    if (rewritten) {
        Require(rewritten->find('=') != std::string::npos, "a rewritten line holds its result");
        // The rewrite again gives the same line: only the part before "=" counts.
        Require(calculator.rewrite(*rewritten) == rewritten, "a rewrite is stable");
    }

    std::string text(line);
    const double value = calculator.evaluate(text);
    if (value != qm::Calculator::kNotAnExpression) {
        Require(std::isfinite(value), "an expression has a finite value");
        qm::ResultText(value);
        const std::string plain = qm::PlainNumberText(value);
        Require(plain.find('e') == std::string::npos && plain.find('E') == std::string::npos,
                "a plain number has no exponent");
    }
    qm::LeadingNumber(line);
    for (int level = 1; level <= qm::Calculator::kLevels; ++level) {
        std::string part(line);
        calculator.reduceLevel(level, part);
    }
    return 0;
}
