#include "DemoServerFixture.h"

#include "model/DemoInstance.h"

#include <cctype>
#include <cstdio>
#include <sstream>
#include <unistd.h>

namespace sqlsimtest {

void DemoServerFixture::SetUp() {
    sqlsim::model::DemoOptions options;
    options.saPassword = "Secret1";
    m_responder = makeDemoInstance(options);
    m_sim = std::make_unique<testsupport::SimServer>(*m_responder);
    m_port = m_sim->port();
    ASSERT_GT(m_port, 0);
}

void DemoServerFixture::TearDown() {
    m_sim.reset();
    m_responder.reset();
}

std::unique_ptr<testsupport::OdbcTestClient> DemoServerFixture::connect(const std::string& user,
                                                                        const std::string& password,
                                                                        const std::string& database) {
    bool ok = false;
    std::string error;
    auto client = m_sim->connect(user, password, database, ok, error);
    EXPECT_TRUE(ok) << error;
    return client;
}

std::string DemoServerFixture::markers(const std::string& text, std::vector<std::string>* names) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        size_t end = i;
        if (c == '\'') {
            end = text.find('\'', i + 1);
            while (end != std::string::npos && end + 1 < text.size() && text[end + 1] == '\'') {
                end = text.find('\'', end + 2);
            }
            end = end == std::string::npos ? text.size() : end + 1;
        } else if (c == '-' && text.compare(i, 2, "--") == 0) {
            end = text.find('\n', i);
            end = end == std::string::npos ? text.size() : end;
        } else if (c == '/' && text.compare(i, 2, "/*") == 0) {
            end = text.find("*/", i);
            end = end == std::string::npos ? text.size() : end + 2;
        } else if (c == ':' && i + 1 < text.size() && std::isalpha(static_cast<unsigned char>(text[i + 1]))) {
            end = i + 1;
            while (end < text.size() &&
                   (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) {
                ++end;
            }
            if (names) {
                names->push_back(text.substr(i + 1, end - i - 1));
            }
            out += '?';
            i = end;
            continue;
        }
        if (end == i) {
            out += c;
            ++i;
        } else {
            out += text.substr(i, end - i);
            i = end;
        }
    }
    return out;
}

OdbcOutcome DemoServerFixture::run(testsupport::OdbcTestClient& client, const std::string& text,
                                   const Params& params) {
    std::vector<std::string> names;
    std::string odbcText = markers(text, &names);
    std::vector<BoundParam> bound;
    for (const std::string& n : names) {
        auto it = params.find(n);
        EXPECT_NE(it, params.end()) << "no value for :" << n;
        bound.push_back(it == params.end() ? BoundParam::null(SQL_C_WCHAR, SQL_WVARCHAR) : it->second);
    }
    return client.execBound(odbcText, bound);
}

std::string DemoServerFixture::logText() const {
    return m_sim->logText();
}

std::vector<std::string> DemoServerFixture::column(const OdbcOutcome& out, size_t c, size_t r) {
    std::vector<std::string> values;
    if (r < out.results.size()) {
        for (const auto& row : out.results[r].rows) {
            values.push_back(c < row.size() && row[c] ? *row[c] : "NULL");
        }
    }
    return values;
}

std::vector<std::string> DemoServerFixture::messages(const OdbcOutcome& out) {
    std::vector<std::string> texts;
    for (const auto& m : out.messages) {
        std::string text = m.text;
        // The driver puts its own bracketed prefixes before the server's text.
        while (!text.empty() && text[0] == '[' && text.find(']') != std::string::npos) {
            text.erase(0, text.find(']') + 1);
        }
        texts.push_back(std::to_string(m.native) + ": " + text);
    }
    return texts;
}

std::string DemoServerFixture::inserted(const OdbcOutcome& out) {
    std::string text;
    for (const std::string& v : column(out, 0)) {
        text += v + "\r\n";
    }
    return text;
}

} // namespace sqlsimtest
