#include "apk/pool_builder.h"

#include "apk/chunk.h"

namespace velmora::apk {

PlainPoolBuilder::PlainPoolBuilder(StringPool base)
    : pool_(std::move(base)), baseSize_(pool_.strings.size()) {
  indexOf_.reserve(pool_.strings.size());
  for (std::uint32_t i = 0; i < pool_.strings.size(); ++i) indexOf_.emplace(pool_.strings[i], i);
}

std::uint32_t PlainPoolBuilder::Add(const std::string& text) {
  auto [at, added] = indexOf_.emplace(text, static_cast<std::uint32_t>(pool_.strings.size()));
  if (added) pool_.strings.push_back(text);
  return at->second;
}

StringPool PlainPoolBuilder::Finish() && {
  if (pool_.strings.size() != baseSize_) pool_.sorted = false;
  return std::move(pool_);
}

ValuePoolBuilder::ValuePoolBuilder(StringPool base, std::size_t expectedAdds)
    : base_(std::move(base)) {
  plain_.reserve(base_.strings.size() + expectedAdds);
  for (std::uint32_t i = 0; i < base_.strings.size(); ++i) {
    if (i < base_.styles.size() && !base_.styles[i].empty()) {
      styled_.emplace(StyledKey(base_.strings[i], base_.styles[i]), i);
    } else {
      plain_.emplace(base_.strings[i], i);
    }
  }
}

std::uint32_t ValuePoolBuilder::AddPlain(const std::string& text) {
  const auto id = static_cast<std::uint32_t>(base_.strings.size() + added_.size());
  auto [at, added] = plain_.emplace(text, id);
  if (added) {
    added_.push_back(text);
    addedSpans_.emplace_back();
  }
  return at->second;
}

std::string ValuePoolBuilder::StyledKey(const std::string& text,
                                        const std::vector<StyleSpan>& spans) const {
  std::string key = text;
  key.push_back('\0');
  for (const StyleSpan& span : spans) {
    AppendU32(key, span.name);
    AppendU32(key, span.firstChar);
    AppendU32(key, span.lastChar);
  }
  return key;
}

std::uint32_t ValuePoolBuilder::Add(const StringPool& from, std::uint32_t index,
                                    std::vector<std::uint32_t>& memo) {
  if (memo[index] != kNotAdded) return memo[index];
  const std::string& text = from.strings[index];
  if (index >= from.styles.size() || from.styles[index].empty()) {
    return memo[index] = AddPlain(text);
  }
  // A span's name is the tag's text, whatever styles that string may carry.
  std::vector<StyleSpan> spans = from.styles[index];
  for (StyleSpan& span : spans) span.name = AddPlain(from.strings[span.name]);
  const auto id = static_cast<std::uint32_t>(base_.strings.size() + added_.size());
  auto [at, added] = styled_.emplace(StyledKey(text, spans), id);
  if (added) {
    added_.push_back(text);
    addedSpans_.push_back(std::move(spans));
  }
  return memo[index] = at->second;
}

ValuePoolBuilder::Result ValuePoolBuilder::Finish() && {
  const std::size_t baseCount = base_.strings.size();
  const std::size_t baseStyled = base_.styles.size();
  std::size_t addedStyled = 0;
  for (const auto& spans : addedSpans_) addedStyled += !spans.empty();

  // Styled strings first: the base's styled ones keep their indices, the
  // added styled ones follow, then the base's plain ones, then the added plain.
  Result result;
  result.indexOf.resize(baseCount + added_.size());
  std::size_t nextStyled = baseStyled;
  std::size_t nextPlain = baseCount + addedStyled;
  for (std::size_t i = 0; i < baseCount; ++i) {
    result.indexOf[i] = static_cast<std::uint32_t>(i < baseStyled ? i : i + addedStyled);
  }
  for (std::size_t k = 0; k < added_.size(); ++k) {
    result.indexOf[baseCount + k] =
        static_cast<std::uint32_t>(addedSpans_[k].empty() ? nextPlain++ : nextStyled++);
  }

  StringPool& pool = result.pool;
  pool.utf8 = base_.utf8;
  pool.sorted = base_.sorted && added_.empty();
  pool.strings.resize(result.indexOf.size());
  pool.styles.resize(baseStyled + addedStyled);
  const auto place = [&](std::size_t id, std::string text, std::vector<StyleSpan> spans) {
    const std::uint32_t at = result.indexOf[id];
    for (StyleSpan& span : spans) span.name = result.indexOf[span.name];
    pool.strings[at] = std::move(text);
    if (at < pool.styles.size()) pool.styles[at] = std::move(spans);
  };
  for (std::size_t i = 0; i < baseCount; ++i) {
    place(i, std::move(base_.strings[i]),
          i < baseStyled ? std::move(base_.styles[i]) : std::vector<StyleSpan>{});
  }
  for (std::size_t k = 0; k < added_.size(); ++k) {
    place(baseCount + k, std::move(added_[k]), std::move(addedSpans_[k]));
  }
  return result;
}

}  // namespace velmora::apk
