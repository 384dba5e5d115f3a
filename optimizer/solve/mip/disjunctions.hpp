// Disjunctive constraints as the optimizer sees them, and their
// reformulation with binary variables.
//
// Reformulation (big-M).  A DJC of one term is a plain conjunction: its
// domains become rows (linear domains) or conic blocks.  A DJC of several
// terms gets one binary z_t per term and the row  sum_t z_t >= 1;  each
// domain of term t holds when z_t = 1 and is relaxed away when z_t = 0:
//   f(x) >= 0   becomes  f(x) >= L (1 - z_t),   L the least value of f,
//   f(x) <= 0   becomes  f(x) <= U (1 - z_t),   U the greatest,
//   (f_0, f_1..) in a quadratic cone:  (f_0 + M (1 - z_t), f_1..),
//     M = max(0, max ||f_1..|| - min f_0);
//   rotated cones likewise, both leading rows shifted by max(0, -min f_i)
//     + max ||f_2..|| / sqrt 2.
// L, U and the norms come from the variable bounds tightened by bound
// propagation (bound_propagation.hpp), so they hold at every feasible point:
// the reformulation is exact.  Where some such value is infinite or exceeds
// max_big_m (a large M makes the relaxation weak and the rounding of the
// engines unreliable), or a domain is of another kind, the DJC is left whole
// and branch and bound branches on its terms instead.
//
// The hull reformulation (one copy of the variables per term) is tighter
// but needs the same finite bounds and multiplies the variables; big-M with
// bounds tightened per row is what is used.
#pragma once

#include <cstdint>
#include <vector>

#include "model/problem.hpp"
#include "solve/mip/bound_propagation.hpp"
#include "solve/mip/extension.hpp"

namespace vlt::solve::mip {

struct Disjunction {
    struct Block {
        int32_t domain = VLT_DOMAIN_R;  // VLT_DOMAIN_*
        std::vector<Affine> rows;       // f(x) = F[a,:] x + g[a] - b, one per AFE of the domain
        std::vector<double> alpha;      // power cones: the weights, as given
    };
    struct Term {
        std::vector<Block> blocks;
    };
    int64_t index = 0;  // of the DJC in the task
    std::vector<Term> terms;
};

// The task's DJCs.
std::vector<Disjunction> disjunctions_of(const model::Problem& p);

// How far x is from satisfying the DJC: the least over its terms of the
// greatest violation of a term's blocks (0 when some term holds).
double violation(const Disjunction& djc, const std::vector<double>& x);
// How far x is from one block's domain, as solution quality measures it
// (solve/quality/cone_distance.hpp).
double block_violation(const Disjunction::Block& block, const std::vector<double>& x);

// Appends the reformulation of every DJC that allows one to e (columns
// numbered after those of the problem e was made for); returns the DJCs
// left for branching.
std::vector<Disjunction> reformulate(const std::vector<Disjunction>& djcs, const Box& box, double max_big_m,
                                     Extension& e);

// Adds the blocks of a term as constraints (rows and conic blocks).
void impose(const Disjunction::Term& term, Extension& e);

}  // namespace vlt::solve::mip
