#include "tests/e2e/survey_run.h"
#include "tests/support/svg_elements.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <map>

namespace {

std::string today()
{
    const std::time_t now = std::time(nullptr);
    std::tm day{};
    char text[16] = "";
    if (localtime_r(&now, &day) != nullptr)
        std::strftime(text, sizeof text, "%Y-%m-%d", &day);
    return text;
}

class PlanOfRun : public SurveyRun {
protected:
    std::string plan() const { return read("surveyplan.svg"); }

    // Each pair line of the plan against the rows of `table`: the same pairs in the same
    // order, with the RMS of column `rmsColumn` as data and written in millimetres at the
    // line, failed where the table has no valid RMS.
    void expectPairsOfTable(const std::string& table, std::size_t rmsColumn, const std::vector<bool>& failed) const
    {
        const std::vector<std::string> rows = lines(table);
        const std::vector<Element> drawn = elements(plan(), "line", "pair");
        const std::vector<Element> labels = elements(plan(), "text", "pair-label");
        ASSERT_EQ(drawn.size() + 1, rows.size());
        ASSERT_EQ(failed.size(), drawn.size());
        ASSERT_EQ(labels.size(), drawn.size());
        for (std::size_t k = 0; k < drawn.size(); ++k) {
            SCOPED_TRACE(rows[k + 1]);
            const std::vector<std::string> row = fields(rows[k + 1]);
            EXPECT_EQ(drawn[k].at("data-scan1"), row[0]);
            EXPECT_EQ(drawn[k].at("data-scan2"), row[rmsColumn == 4 ? 2 : 1]);
            EXPECT_EQ(drawn[k].at("data-rms"), row[rmsColumn]);
            EXPECT_EQ(drawn[k].at("data-failed"), failed[k] ? "1" : "0");
            EXPECT_EQ(!drawn[k].at("stroke-dasharray").empty(), failed[k]);
            EXPECT_EQ(drawn[k].at("data-state"), failed[k] ? "failed" : "valid");
            if (failed[k]) {
                EXPECT_EQ(labels[k].text, "failed");
            } else {
                EXPECT_EQ(labels[k].text.substr(labels[k].text.size() - 3), " mm");
                EXPECT_NEAR(std::atof(labels[k].text.c_str()), std::atof(row[rmsColumn].c_str()) * 1000.0, 0.051);
            }
        }
    }

    // The title block's second line names the method, ADJUST and the day of the run.
    void expectRunNamed(const std::string& method, const std::string& dayBefore) const
    {
        const std::string shown = elements(plan(), "text", "subtitle").at(0).text;
        const std::string named = method + "; ADJUST 1; ";
        EXPECT_EQ(shown.substr(0, named.size()), named);
        const std::string day = shown.substr(std::min(named.size(), shown.size()));
        EXPECT_TRUE(day == dayBefore || day == today()) << shown;  // a run may pass midnight
    }

    std::map<std::string, std::string> correctionsShown() const
    {
        std::map<std::string, std::string> shown;
        for (const Element& g : elements(plan(), "g", "correction"))
            shown[g.at("data-scan")] = g.at("data-degrees");
        return shown;
    }
};

TEST_F(PlanOfRun, RunAllDrawsTheEvaluatedPairsAndTheTurnsApplied)
{
    // Scan 4's wall stands 3 m behind the others: its pair fails in both passes.
    writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.3, 2}, {0, 12, -0.2, 3}, {1, 18, 0.0, 4, 3.0}});
    const std::string day = today();
    const BatchRun r = run({"survey.csv"}, "4\n\n\n");
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_NE(r.out.find("EVALUATION OF RMS COMPLETE\n\nPlan of the run written to surveyplan.svg\nRegistered "),
              std::string::npos);
    ASSERT_TRUE(rendersWithRsvg(path("surveyplan.svg"), path("plan.png")));

    // Set-ups at their eastings and northings.
    const std::vector<Element> dots = elements(plan(), "circle", "setup");
    ASSERT_EQ(dots.size(), 4u);
    EXPECT_EQ(dots[3].at("data-scan"), "4");
    EXPECT_EQ(dots[3].at("data-x"), "1.000");
    EXPECT_EQ(dots[3].at("data-y"), "18.000");
    EXPECT_LT(dots[3].number("cy"), dots[0].number("cy"));  // north is up

    expectPairsOfTable("surveyrms.csv", 6, {false, false, true});
    // The turns are those of the rotation table; scan 4 was not turned.
    std::map<std::string, std::string> turned;
    for (std::size_t k = 1; k < lines("surveyrot.csv").size(); ++k) {
        const std::vector<std::string> row = fields(lines("surveyrot.csv")[k]);
        if (row[2] != "0")
            turned[row[0]] = row[1];
    }
    EXPECT_EQ(turned.size(), 3u);
    EXPECT_EQ(correctionsShown(), turned);
    EXPECT_NE(plan().find("survey.csv: Run ALL, RMS after rotation (rmswave)"), std::string::npos);
    expectRunNamed("REGSOL 2, ping-pong least squares", day);
}

TEST_F(PlanOfRun, RegistrationDrawsItsRowsAndTheTurnsTheyCallFor)
{
    writeSurvey({{0, 0, 0.0, 1}, {0, 6, 0.3, 2}, {0, 12, 0.0, 3, 3.0}});
    const std::string day = today();
    run({"survey.csv"}, "1\n\n\n");
    expectPairsOfTable("surveyreg.csv", 4, {false, true});
    expectRunNamed("REGSOL 2, ping-pong least squares", day);
    // Scans 1 and 2 have the rotations of their one good row; scan 3 has none.
    const std::vector<std::string> good = fields(lines("surveyreg.csv")[1]);
    const std::map<std::string, std::string> expected{{good[0], good[1]}, {good[2], good[3]}};
    EXPECT_EQ(correctionsShown(), expected);

    // Modes that pair no points leave the plan of the last run as it was.
    const std::string drawn = plan();
    for (const char* mode : {"2", "8", "9"}) {
        SCOPED_TRACE(mode);
        const BatchRun r = run({"survey.csv"}, std::string(mode) + "\n\n\n");
        EXPECT_EQ(r.out.find("Plan of the run"), std::string::npos);
        EXPECT_EQ(plan(), drawn);
    }
}

}  // namespace
