// The task's disjunctive constraints (DJCs).
//
// A DJC is a disjunction of terms; a term is a conjunction of simple
// constraints, each a domain (model/conic.hpp) over consecutive affine
// expressions.  A DJC is given by
//   domidxlist    its domains, term after term,
//   termsizelist  how many domains each term has (>= 1 each, adding up to
//                 the number of domains),
//   afeidxlist, b the AFEs of the domains one after another (as many as the
//                 domains' dimensions add up to) with one constant each.
// The DJC holds when for some term t every domain D of t holds:
//   (F[a_1,:] x + g[a_1] - b_1, ..., F[a_n,:] x + g[a_n] - b_n) in D
// over the AFEs a_1..a_n that D takes.
//
// Choices:
//  - appenddjcs adds DJCs without terms; a DJC without terms cannot be
//    satisfied, and the optimizer refuses a task that still has one.
//  - A null b means zeros; b values must be finite.
//  - putdjcslice gives the terms of DJCs first..last-1 one DJC after
//    another: termsindjc[k] terms for DJC first + k, their sizes in
//    termsizelist, which say how many domains and so how many AFEs each DJC
//    takes.
//  - The capacity call (putmaxnumdjc) is a hint.
//  - DJCs are born unnamed; names follow appends and truncation.
//  - Domains and AFEs are never removed while DJCs can refer to them (the
//    conversions that append and undo their appends never let a DJC see
//    their items); a load of a whole problem replaces AFEs and domains and
//    drops the DJCs.
//
// Every call checks all of its arguments before it changes anything and
// throws vlt::Error naming the argument and position.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/arg_check.hpp"
#include "model/conic.hpp"
#include "model/names.hpp"

namespace vlt::model {

class DisjunctiveStore {
public:
    int64_t num_djc() const { return static_cast<int64_t>(djcs_.size()); }
    void put_max_num(int64_t n);
    void append(int64_t num);

    // domains: the task's domains; numafe: its number of AFEs.
    void put(int64_t djcidx, int64_t numdomidx, const int64_t* domidxlist, int64_t numafeidx,
             const int64_t* afeidxlist, const double* b, int64_t numterms, const int64_t* termsizelist,
             const ConicStore& domains, int64_t numafe);
    void put_slice(int64_t idxfirst, int64_t idxlast, int64_t numdomidx, const int64_t* domidxlist,
                   int64_t numafeidx, const int64_t* afeidxlist, const double* b, int64_t numterms,
                   const int64_t* termsizelist, const int64_t* termsindjc, const ConicStore& domains,
                   int64_t numafe);

    // Counts of one DJC (the index is checked) and over all DJCs.
    int64_t num_domain(int64_t djcidx) const { return record(djcidx).num_domain; }
    int64_t num_afe(int64_t djcidx) const { return record(djcidx).num_afe; }
    int64_t num_term(int64_t djcidx) const { return record(djcidx).num_term; }
    int64_t num_domain_total() const { return live_.num_domain; }
    int64_t num_afe_total() const { return live_.num_afe; }
    int64_t num_term_total() const { return live_.num_term; }

    // Null outputs are not written.
    void get_domains(int64_t djcidx, int64_t* domidxlist) const;
    void get_afes(int64_t djcidx, int64_t* afeidxlist) const;
    void get_b(int64_t djcidx, double* b) const;
    void get_term_sizes(int64_t djcidx, int64_t* termsizelist) const;
    // All DJCs one after another; numterms gets one count per DJC.
    void get_all(int64_t* domidxlist, int64_t* afeidxlist, double* b, int64_t* termsizelist,
                 int64_t* numterms) const;

    // Unchecked views of one DJC for the optimizer.
    struct View {
        const int64_t* domains;     // num_domain entries
        const int64_t* term_sizes;  // num_term entries
        const int64_t* afes;        // num_afe entries
        const double* b;            // num_afe entries
        int64_t num_domain, num_term, num_afe;
    };
    View view(int64_t djcidx) const;

    // ------------------------------------------------------------- names
    void put_name(int64_t djcidx, std::string_view name);
    const std::string& get_name(int64_t djcidx) const;
    const NameList& names() const { return names_; }
    // Every index of sub[0..num) valid; then names sub[k] after names[k]
    // (a repeated index: the last entry wins).
    void check_list(const char* name, int64_t num, const int64_t* sub) const;
    void put_names(int64_t num, const int64_t* sub, const std::vector<std::string>& names);

    // Drops the DJCs from index `keep` on (undoing appends); drops all.
    void truncate(int64_t keep);
    void clear() { truncate(0); }

    size_t memory_bytes() const;
    // What is inconsistent (an index outside the task's domains or AFEs,
    // sizes that disagree), or an empty text.
    std::string consistency_error(const ConicStore& domains, int64_t numafe) const;

private:
    // Sizes of one DJC or of all of them.
    struct Counts {
        int64_t num_domain = 0, num_term = 0, num_afe = 0;
    };
    // One DJC: where its lists start in the pools, and their lengths.
    struct Record : Counts {
        int64_t domain_at = 0, term_at = 0, afe_at = 0;
    };
    // One DJC of a put, checked: where its lists start in the caller's arrays.
    struct Piece : Counts {
        int64_t domain_from = 0, term_from = 0, afe_from = 0;
    };

    const Record& record(int64_t djcidx) const;
    void check_index(Arg arg, int64_t djcidx) const;
    // Checks the lists of a put (of `pieces` DJCs with termsindjc, or of one
    // without) and cuts them into the DJCs' pieces.
    std::vector<Piece> checked_pieces(int64_t num_djc, int64_t numdomidx, const int64_t* domidxlist,
                                      int64_t numafeidx, const int64_t* afeidxlist, const double* b,
                                      int64_t numterms, const int64_t* termsizelist, const int64_t* termsindjc,
                                      const ConicStore& domains, int64_t numafe) const;
    // Stores checked pieces as DJCs first, first + 1, ...
    void store(int64_t first, const std::vector<Piece>& pieces, const int64_t* domidxlist,
               const int64_t* afeidxlist, const double* b, const int64_t* termsizelist);
    // Moves the live lists to the front of fresh pools when the pools hold
    // more dead entries than live ones plus `incoming`.
    void compact_pools(const Counts& incoming);

    std::vector<Record> djcs_;
    Counts live_;  // totals over all DJCs
    // Pools of the lists; a put appends the new lists and leaves the old ones
    // dead until a compaction.
    std::vector<int64_t> domain_pool_, term_pool_, afe_pool_;
    std::vector<double> b_pool_;
    NameList names_;
};

}  // namespace vlt::model
