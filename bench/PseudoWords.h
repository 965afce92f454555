#pragma once

#include <QString>
#include <QStringList>

#include <random>

// A vocabulary of 2,000 pseudo-words (3 to 9 letters), so that one word occurs in roughly one
// item in a hundred of generated prose, as real words of a history would.
class PseudoWords {
public:
    explicit PseudoWords(unsigned seed)
        : m_random(seed)
    {
        std::uniform_int_distribution<int> length(3, 9), letter('a', 'z');
        for (int i = 0; i < 2000; ++i) {
            QString word;
            for (int n = length(m_random); n > 0; --n)
                word.append(QChar(letter(m_random)));
            m_words.append(word);
        }
    }

    const QString &word(qsizetype index) const { return m_words[index % m_words.size()]; }
    const QString &randomWord()
    {
        std::uniform_int_distribution<qsizetype> pick(0, m_words.size() - 1);
        return m_words[pick(m_random)];
    }

private:
    std::mt19937 m_random;
    QStringList m_words;
};
