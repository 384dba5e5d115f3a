// Entry points: sensitivity analysis at the optimal basis and its report
// (solve/sensitivity/).
#include <chrono>
#include <string>

#include "api/impl.hpp"
#include "model/solution.hpp"
#include "solve/sensitivity/report.hpp"
#include "solve/sensitivity/sensitivity.hpp"

namespace vlt {

namespace {

const model::Solution& basic_solution(Task& task) {
    if (task.params.get_int(VLT_IPAR_SENSITIVITY_TYPE) != VLT_SENSITIVITY_TYPE_BASIS)
        fail(VLT_RES_ERR_NOT_IMPLEMENTED,
             "Sensitivity analysis of the optimal partition is not available; set SENSITIVITY_TYPE to "
             "VLT_SENSITIVITY_TYPE_BASIS");
    return task.solutions.read(VLT_SOL_BAS, model::solution_sizes(task.problem));
}

void check_marks(const char* name, int32_t num, const int32_t* mark) {
    for (int32_t k = 0; k < num; ++k)
        if (mark[k] != VLT_MARK_LO && mark[k] != VLT_MARK_UP)
            fail(VLT_RES_ERR_INVALID_ENUM, "Argument " + model::at(name, k).str() + " = " + std::to_string(mark[k]) +
                                               " is not a mark (expected 0 or 1)");
}

void check_items(model::Item item, const char* name, int32_t num, const int32_t* sub, int32_t count) {
    model::check_count({item == model::Item::Con ? "numi" : "numj"}, num);
    model::check_present(sub, name, item == model::Item::Con ? "numi" : "numj", num);
    model::check_index_list(item, name, num, sub, count);
}

void put_result(double* left_price, double* right_price, double* left_range, double* right_range, int32_t k,
                const solve::SensitivityResult& r) {
    if (left_price) left_price[k] = r.left_price;
    if (right_price) right_price[k] = r.right_price;
    if (left_range) left_range[k] = r.left_range;
    if (right_range) right_range[k] = r.right_range;
}

// Times the analysis into the information item and brackets it with the
// progress events.
template <class Work>
void timed(Task& task, int32_t begin, int32_t end, Work work) {
    const auto start = std::chrono::steady_clock::now();
    task.progress(begin, task.info.d, task.info.i, task.info.l);
    work();
    task.info[VLT_DINF_SENSITIVITY_TIME] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    task.progress(end, task.info.d, task.info.i, task.info.l);
}

}  // namespace

void impl::primalsensitivity(Task& task, int32_t numi, const int32_t* subi, const int32_t* marki, int32_t numj,
                             const int32_t* subj, const int32_t* markj, double* leftpricei, double* rightpricei,
                             double* leftrangei, double* rightrangei, double* leftpricej, double* rightpricej,
                             double* leftrangej, double* rightrangej) {
    const int32_t m = task.problem.num_con();
    check_items(model::Item::Con, "subi", numi, subi, m);
    model::check_present(marki, "marki", "numi", numi);
    check_marks("marki", numi, marki);
    check_items(model::Item::Var, "subj", numj, subj, task.problem.num_var());
    model::check_present(markj, "markj", "numj", numj);
    check_marks("markj", numj, markj);
    const solve::Sensitivity analysis(task.problem, basic_solution(task));
    timed(task, VLT_CALLBACK_BEGIN_PRIMAL_SENSITIVITY, VLT_CALLBACK_END_PRIMAL_SENSITIVITY, [&] {
        for (int32_t k = 0; k < numi; ++k)
            put_result(leftpricei, rightpricei, leftrangei, rightrangei, k, analysis.bound(subi[k], marki[k]));
        for (int32_t k = 0; k < numj; ++k)
            put_result(leftpricej, rightpricej, leftrangej, rightrangej, k, analysis.bound(m + subj[k], markj[k]));
    });
}

void impl::dualsensitivity(Task& task, int32_t numj, const int32_t* subj, double* leftpricej, double* rightpricej,
                           double* leftrangej, double* rightrangej) {
    check_items(model::Item::Var, "subj", numj, subj, task.problem.num_var());
    const solve::Sensitivity analysis(task.problem, basic_solution(task));
    timed(task, VLT_CALLBACK_BEGIN_DUAL_SENSITIVITY, VLT_CALLBACK_END_DUAL_SENSITIVITY, [&] {
        for (int32_t k = 0; k < numj; ++k)
            put_result(leftpricej, rightpricej, leftrangej, rightrangej, k, analysis.coefficient(subj[k]));
    });
}

void impl::sensitivityreport(Task& task, int32_t whichstream) {
    if (!MessageStreams::valid(whichstream))
        fail(VLT_RES_ERR_INVALID_STREAM, "Argument whichstream = " + std::to_string(whichstream) + " is not 0 to 3");
    task.streams.emit(whichstream, solve::sensitivity_report(task.problem, basic_solution(task)));
}

}  // namespace vlt
