// kavorctl against cards that fail: it must tell failure from success in its exit status and
// say on standard error what went wrong and what was never sent.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <iterator>
#include <memory>
#include <vector>

#include "fakes/pty_card.h"
#include "fakes/run_kavorctl.h"

namespace {

// A card that answers every command as a card does, "#" and the command's own fields.
std::vector<TPtyWrite> Echo(const std::string& command) {
  return {{1, "#" + command.substr(1) + "\r\n"}};
}

TEST(KavorctlFailureTest, ExitStatusAndMessagesForEachWayACommandCanFail) {
  struct {
    const char* Name;
    TPtyCard::TScript Card;  // none: the simulated bus
    QStringList Args;        // "PTY" stands for the card's device
    int ExitCode;
    std::string Out;
    std::vector<std::string> Err;  // each must be on standard error
  } cases[] = {
      {"exec, the card does not answer",
       nullptr,
       {"exec", "--port", "SIM", "--timeout", "50", "--module", "TMXB01@$55",
        "!Schalten(0,$55,3,1)"},
       1,
       "\n",
       {"TimeOut, Modul antwortet nicht! \"!55130001\" ", "kavorctl exec: ",
        " on the bus (time-outs, unreadable answers, a lost port; see above)\n"}},
      {"exec, the answers cannot be read",
       [](const std::string&) {
         return std::vector<TPtyWrite>{{1, "Quatsch\r\n"}};
       },
       {"exec", "--port", "PTY", "--module", "TMXB01@$1E", "!Schalten(0,$1E,1,1)"},
       1,
       "\n",
       {"Modul $1E: unlesbare Antwort auf \"!1E110001\": \"Quatsch\" ",
        "kavorctl exec: ", " on the bus (time-outs, unreadable answers"}},
      {"exec, the port is lost in the middle",
       [](const std::string& command) {
         if (command.rfind("!1E12", 0) == 0) return std::vector<TPtyWrite>{{0, "", true}};
         return Echo(command);
       },
       {"exec", "--port", "PTY", "--module", "TMXB01@$1E", "!Schalten(0,$1E,1,1)",
        "!Schalten(0,$1E,2,1)", "?Port(0,$1E,2)", "!Schalten(0,$1E,3,1)"},
       1,
       "\n\n",
       {" ist nicht mehr verfügbar",
        " was lost; not sent: '!Schalten(0,$1E,2,1)' '?Port(0,$1E,2)' '!Schalten(0,$1E,3,1)'\n",
        "kavorctl exec: 3 of 4 commands not sent; 1 error on the bus"}},
      {"send, the port is lost in the middle: no waiting out the time limit",
       [](const std::string& command) {
         if (command == "?1E200002") return std::vector<TPtyWrite>{{0, "", true}};
         return Echo(command);
       },
       {"send", "--port", "PTY", "--timeout", "20000", "?1E200001", "?1E200002", "?1E200003"},
       1,
       "?1E200001 --> #1E200001\n",
       {" ist nicht mehr verfügbar", " was lost; not sent: '?1E200002' '?1E200003'\n"}},
      {"send, one line without answer",
       [](const std::string& command) {
         if (command == "?1E200002") return std::vector<TPtyWrite>{};
         return Echo(command);
       },
       {"send", "--port", "PTY", "--timeout", "50", "?1E200001", "?1E200002"},
       1,
       "?1E200001 --> #1E200001\n?1E200002 --> \n",
       {"TimeOut, Modul antwortet nicht! \"?1E200002\" ",
        "kavorctl send: no answer to 1 of 2 lines: '?1E200002'\n"}},
  };
  // Every card starts before the first kavorctl runs: ThreadSanitizer does not follow a thread
  // started after the test process has forked.
  std::vector<std::unique_ptr<TPtyCard>> cards;
  for (const auto& c : cases) {
    cards.push_back(c.Card ? std::make_unique<TPtyCard>(c.Card) : nullptr);
    if (cards.back()) {
      ASSERT_TRUE(cards.back()->Ok());
    }
  }
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(c.Name);
    QStringList args = c.Args;
    if (cards[i])
      args.replaceInStrings(QRegularExpression("^PTY$"),
                            QString::fromStdString(cards[i]->SlavePath()));
    // Well below any time limit of the verbs here (the send case would wait over a minute).
    const TRunResult r = RunKavorctl(args, 15000);
    EXPECT_EQ(r.ExitCode, c.ExitCode) << r.Err;
    EXPECT_EQ(r.Out, c.Out) << r.Err;
    for (const std::string& part : c.Err)
      EXPECT_NE(r.Err.find(part), std::string::npos) << "missing: " << part << "\nin: " << r.Err;
  }
}

}  // namespace
#endif
