#include "model/disjunctive.hpp"

#include <algorithm>

#include "model/affine.hpp"

namespace vlt::model {

namespace {

std::string num(int64_t v) { return std::to_string(v); }

[[noreturn]] void fail_sum(const char* list, const char* what, int64_t count_value, const char* count_name,
                           int64_t sum) {
    fail(VLT_RES_ERR_DIMENSION, std::string("Argument ") + count_name + " = " + num(count_value) + " differs from " +
                                    what + " of " + list + " (" + num(sum) + ")");
}

}  // namespace

void DisjunctiveStore::check_index(Arg arg, int64_t djcidx) const {
    if (djcidx < 0 || djcidx >= num_djc())
        fail(VLT_RES_ERR_INDEX_DJC, "Argument " + arg.str() + " = " + num(djcidx) +
                                        " is not a valid disjunctive constraint index (numdjc = " + num(num_djc()) +
                                        ")");
}

const DisjunctiveStore::Record& DisjunctiveStore::record(int64_t djcidx) const {
    check_index({"djcidx"}, djcidx);
    return djcs_[static_cast<size_t>(djcidx)];
}

void DisjunctiveStore::put_max_num(int64_t n) {
    check_count({"maxnumdjc"}, n);
    djcs_.reserve(static_cast<size_t>(std::min(n, num_djc() + (int64_t{1} << 20))));
}

void DisjunctiveStore::append(int64_t num) {
    check_count({"num"}, num);
    if (num > (int64_t{1} << 40))
        fail(VLT_RES_ERR_SIZE_LIMIT, "Argument num = " + std::to_string(num) + " is more disjunctive constraints "
                                                                              "than a task can hold");
    djcs_.reserve(djcs_.size() + static_cast<size_t>(num));
    names_.append(num);
    // Nothing below allocates.
    djcs_.resize(djcs_.size() + static_cast<size_t>(num));
}

// ---------------------------------------------------------------- puts

std::vector<DisjunctiveStore::Piece> DisjunctiveStore::checked_pieces(
    int64_t num_djc, int64_t numdomidx, const int64_t* domidxlist, int64_t numafeidx, const int64_t* afeidxlist,
    const double* b, int64_t numterms, const int64_t* termsizelist, const int64_t* termsindjc,
    const ConicStore& domains, int64_t numafe) const {
    check_count({"numdomidx"}, numdomidx);
    check_count({"numafeidx"}, numafeidx);
    check_count({"numterms"}, numterms);
    check_present(domidxlist, "domidxlist", "numdomidx", numdomidx);
    check_present(afeidxlist, "afeidxlist", "numafeidx", numafeidx);
    check_present(termsizelist, "termsizelist", "numterms", numterms);

    // The domains' dimensions add up to the number of AFEs; the running sum
    // stops at the first excess, so it cannot overflow.
    std::vector<int64_t> dim(static_cast<size_t>(numdomidx));
    int64_t dims = 0;
    for (int64_t k = 0; k < numdomidx; ++k) {
        domains.check_domain_index(at("domidxlist", k), domidxlist[k]);
        dim[static_cast<size_t>(k)] = domains.domain_n(domidxlist[k]);
        if (dim[static_cast<size_t>(k)] > numafeidx - dims)
            fail_sum("domidxlist", "the sum of the dimensions of the domains", numafeidx, "numafeidx",
                     dims + dim[static_cast<size_t>(k)]);
        dims += dim[static_cast<size_t>(k)];
    }
    if (dims != numafeidx) fail_sum("domidxlist", "the sum of the dimensions of the domains", numafeidx, "numafeidx", dims);
    for (int64_t k = 0; k < numafeidx; ++k) check_afe_index(at("afeidxlist", k), afeidxlist[k], numafe);
    if (b) check_finite_array("b", numafeidx, b);

    int64_t sizes = 0;
    for (int64_t k = 0; k < numterms; ++k) {
        if (termsizelist[k] < 1)
            fail(VLT_RES_ERR_DIMENSION, "Argument termsizelist[" + num(k) + "] = " + num(termsizelist[k]) +
                                            " is not a term size (a term has at least one domain)");
        if (termsizelist[k] > numdomidx - sizes)
            fail_sum("termsizelist", "the sum of the term sizes", numdomidx, "numdomidx", sizes + termsizelist[k]);
        sizes += termsizelist[k];
    }
    if (sizes != numdomidx) fail_sum("termsizelist", "the sum of the term sizes", numdomidx, "numdomidx", sizes);

    // Cut the lists into the DJCs' pieces: termsindjc[k] terms each, or all
    // terms for the one DJC of a put without termsindjc.
    std::vector<Piece> pieces(static_cast<size_t>(num_djc));
    if (termsindjc) {
        int64_t terms = 0;
        for (int64_t k = 0; k < num_djc; ++k) {
            if (termsindjc[k] < 0) fail_negative(at("termsindjc", k), termsindjc[k]);
            if (termsindjc[k] > numterms - terms)
                fail_sum("termsindjc", "the sum of the numbers of terms", numterms, "numterms", terms + termsindjc[k]);
            terms += termsindjc[k];
        }
        if (terms != numterms) fail_sum("termsindjc", "the sum of the numbers of terms", numterms, "numterms", terms);
    }
    int64_t term = 0, domain = 0, afe = 0;
    for (int64_t k = 0; k < num_djc; ++k) {
        Piece& p = pieces[static_cast<size_t>(k)];
        p.term_from = term;
        p.domain_from = domain;
        p.afe_from = afe;
        p.num_term = termsindjc ? termsindjc[k] : numterms;
        for (int64_t t = term; t < term + p.num_term; ++t) p.num_domain += termsizelist[t];
        for (int64_t d = domain; d < domain + p.num_domain; ++d) p.num_afe += dim[static_cast<size_t>(d)];
        term += p.num_term;
        domain += p.num_domain;
        afe += p.num_afe;
    }
    return pieces;
}

void DisjunctiveStore::compact_pools(const Counts& incoming) {
    const auto dead = static_cast<int64_t>(afe_pool_.size() + domain_pool_.size() + term_pool_.size()) -
                      (live_.num_afe + live_.num_domain + live_.num_term);
    if (dead <= live_.num_afe + live_.num_domain + live_.num_term + incoming.num_afe + incoming.num_domain +
                    incoming.num_term + 64)
        return;
    std::vector<int64_t> domains, terms, afes;
    std::vector<double> bs;
    domains.reserve(static_cast<size_t>(live_.num_domain + incoming.num_domain));
    terms.reserve(static_cast<size_t>(live_.num_term + incoming.num_term));
    afes.reserve(static_cast<size_t>(live_.num_afe + incoming.num_afe));
    bs.reserve(static_cast<size_t>(live_.num_afe + incoming.num_afe));
    // Nothing below allocates.
    for (Record& r : djcs_) {
        const int64_t domain_at = static_cast<int64_t>(domains.size()), term_at = static_cast<int64_t>(terms.size()),
                      afe_at = static_cast<int64_t>(afes.size());
        domains.insert(domains.end(), domain_pool_.begin() + r.domain_at,
                       domain_pool_.begin() + r.domain_at + r.num_domain);
        terms.insert(terms.end(), term_pool_.begin() + r.term_at, term_pool_.begin() + r.term_at + r.num_term);
        afes.insert(afes.end(), afe_pool_.begin() + r.afe_at, afe_pool_.begin() + r.afe_at + r.num_afe);
        bs.insert(bs.end(), b_pool_.begin() + r.afe_at, b_pool_.begin() + r.afe_at + r.num_afe);
        r.domain_at = domain_at;
        r.term_at = term_at;
        r.afe_at = afe_at;
    }
    domain_pool_.swap(domains);
    term_pool_.swap(terms);
    afe_pool_.swap(afes);
    b_pool_.swap(bs);
}

void DisjunctiveStore::store(int64_t first, const std::vector<Piece>& pieces, const int64_t* domidxlist,
                             const int64_t* afeidxlist, const double* b, const int64_t* termsizelist) {
    Counts incoming;
    for (const Piece& p : pieces) {
        incoming.num_domain += p.num_domain;
        incoming.num_term += p.num_term;
        incoming.num_afe += p.num_afe;
    }
    compact_pools(incoming);
    domain_pool_.reserve(domain_pool_.size() + static_cast<size_t>(incoming.num_domain));
    term_pool_.reserve(term_pool_.size() + static_cast<size_t>(incoming.num_term));
    afe_pool_.reserve(afe_pool_.size() + static_cast<size_t>(incoming.num_afe));
    b_pool_.reserve(b_pool_.size() + static_cast<size_t>(incoming.num_afe));
    // Nothing below allocates.
    for (size_t k = 0; k < pieces.size(); ++k) {
        const Piece& p = pieces[k];
        Record& r = djcs_[static_cast<size_t>(first) + k];
        live_.num_domain += p.num_domain - r.num_domain;
        live_.num_term += p.num_term - r.num_term;
        live_.num_afe += p.num_afe - r.num_afe;
        r.domain_at = static_cast<int64_t>(domain_pool_.size());
        r.term_at = static_cast<int64_t>(term_pool_.size());
        r.afe_at = static_cast<int64_t>(afe_pool_.size());
        static_cast<Counts&>(r) = p;
        domain_pool_.insert(domain_pool_.end(), domidxlist + p.domain_from, domidxlist + p.domain_from + p.num_domain);
        term_pool_.insert(term_pool_.end(), termsizelist + p.term_from, termsizelist + p.term_from + p.num_term);
        afe_pool_.insert(afe_pool_.end(), afeidxlist + p.afe_from, afeidxlist + p.afe_from + p.num_afe);
        if (b)
            b_pool_.insert(b_pool_.end(), b + p.afe_from, b + p.afe_from + p.num_afe);
        else
            b_pool_.resize(b_pool_.size() + static_cast<size_t>(p.num_afe), 0.0);
    }
}

void DisjunctiveStore::put(int64_t djcidx, int64_t numdomidx, const int64_t* domidxlist, int64_t numafeidx,
                           const int64_t* afeidxlist, const double* b, int64_t numterms, const int64_t* termsizelist,
                           const ConicStore& domains, int64_t numafe) {
    check_index({"djcidx"}, djcidx);
    const std::vector<Piece> pieces = checked_pieces(1, numdomidx, domidxlist, numafeidx, afeidxlist, b, numterms,
                                                     termsizelist, nullptr, domains, numafe);
    store(djcidx, pieces, domidxlist, afeidxlist, b, termsizelist);
}

void DisjunctiveStore::put_slice(int64_t idxfirst, int64_t idxlast, int64_t numdomidx, const int64_t* domidxlist,
                                 int64_t numafeidx, const int64_t* afeidxlist, const double* b, int64_t numterms,
                                 const int64_t* termsizelist, const int64_t* termsindjc, const ConicStore& domains,
                                 int64_t numafe) {
    if (idxfirst < 0 || idxfirst > idxlast || idxlast > num_djc())
        fail(VLT_RES_ERR_SLICE, "Arguments idxfirst = " + num(idxfirst) + ", idxlast = " + num(idxlast) +
                                    " do not give a disjunctive constraint slice within [0, numdjc = " +
                                    num(num_djc()) + "]");
    const int64_t count = idxlast - idxfirst;
    if (!termsindjc) check_present(termsindjc, "termsindjc", "idxlast - idxfirst", count);
    const std::vector<Piece> pieces = checked_pieces(count, numdomidx, domidxlist, numafeidx, afeidxlist, b,
                                                     numterms, termsizelist, termsindjc, domains, numafe);
    if (count == 0 && numterms > 0)
        fail(VLT_RES_ERR_DIMENSION, "Argument numterms = " + num(numterms) + " gives terms to an empty slice");
    store(idxfirst, pieces, domidxlist, afeidxlist, b, termsizelist);
}

// ------------------------------------------------------------- getters

void DisjunctiveStore::get_domains(int64_t djcidx, int64_t* domidxlist) const {
    const Record& r = record(djcidx);
    if (domidxlist) std::copy_n(domain_pool_.begin() + r.domain_at, r.num_domain, domidxlist);
}

void DisjunctiveStore::get_afes(int64_t djcidx, int64_t* afeidxlist) const {
    const Record& r = record(djcidx);
    if (afeidxlist) std::copy_n(afe_pool_.begin() + r.afe_at, r.num_afe, afeidxlist);
}

void DisjunctiveStore::get_b(int64_t djcidx, double* b) const {
    const Record& r = record(djcidx);
    if (b) std::copy_n(b_pool_.begin() + r.afe_at, r.num_afe, b);
}

void DisjunctiveStore::get_term_sizes(int64_t djcidx, int64_t* termsizelist) const {
    const Record& r = record(djcidx);
    if (termsizelist) std::copy_n(term_pool_.begin() + r.term_at, r.num_term, termsizelist);
}

void DisjunctiveStore::get_all(int64_t* domidxlist, int64_t* afeidxlist, double* b, int64_t* termsizelist,
                               int64_t* numterms) const {
    for (const Record& r : djcs_) {
        if (domidxlist) domidxlist = std::copy_n(domain_pool_.begin() + r.domain_at, r.num_domain, domidxlist);
        if (afeidxlist) afeidxlist = std::copy_n(afe_pool_.begin() + r.afe_at, r.num_afe, afeidxlist);
        if (b) b = std::copy_n(b_pool_.begin() + r.afe_at, r.num_afe, b);
        if (termsizelist) termsizelist = std::copy_n(term_pool_.begin() + r.term_at, r.num_term, termsizelist);
        if (numterms) *numterms++ = r.num_term;
    }
}

DisjunctiveStore::View DisjunctiveStore::view(int64_t djcidx) const {
    const Record& r = djcs_[static_cast<size_t>(djcidx)];
    return {domain_pool_.data() + r.domain_at, term_pool_.data() + r.term_at, afe_pool_.data() + r.afe_at,
            b_pool_.data() + r.afe_at, r.num_domain, r.num_term, r.num_afe};
}

// --------------------------------------------------------------- names

void DisjunctiveStore::put_name(int64_t djcidx, std::string_view name) {
    check_index({"djcidx"}, djcidx);
    names_.put(djcidx, name);
}

const std::string& DisjunctiveStore::get_name(int64_t djcidx) const {
    check_index({"djcidx"}, djcidx);
    return names_.get(djcidx);
}

void DisjunctiveStore::check_list(const char* name, int64_t num, const int64_t* sub) const {
    check_count({"num"}, num);
    check_present(sub, name, "num", num);
    for (int64_t k = 0; k < num; ++k) check_index(at(name, k), sub[k]);
}

void DisjunctiveStore::put_names(int64_t num, const int64_t* sub, const std::vector<std::string>& names) {
    for (int64_t k = 0; k < num; ++k) names_.put(sub[k], names[static_cast<size_t>(k)]);
}

// --------------------------------------------------------- bookkeeping

void DisjunctiveStore::truncate(int64_t keep) {
    if (keep >= num_djc()) return;
    for (auto r = djcs_.begin() + keep; r != djcs_.end(); ++r) {
        live_.num_domain -= r->num_domain;
        live_.num_term -= r->num_term;
        live_.num_afe -= r->num_afe;
    }
    djcs_.resize(static_cast<size_t>(keep));
    names_.resize(keep);
    if (djcs_.empty()) {
        domain_pool_.clear();
        term_pool_.clear();
        afe_pool_.clear();
        b_pool_.clear();
    }
}

size_t DisjunctiveStore::memory_bytes() const {
    return djcs_.capacity() * sizeof(Record) +
           (domain_pool_.capacity() + term_pool_.capacity() + afe_pool_.capacity()) * sizeof(int64_t) +
           b_pool_.capacity() * sizeof(double) + names_.memory_bytes();
}

std::string DisjunctiveStore::consistency_error(const ConicStore& domains, int64_t numafe) const {
    if (names_.size() != num_djc())
        return "there are " + num(names_.size()) + " disjunctive constraint names for " + num(num_djc()) +
               " disjunctive constraints";
    if (b_pool_.size() != afe_pool_.size()) return "the disjunctive constraint pools differ in length";
    Counts total;
    for (int64_t k = 0; k < num_djc(); ++k) {
        const View v = view(k);
        const Record& r = djcs_[static_cast<size_t>(k)];
        if (r.domain_at + r.num_domain > static_cast<int64_t>(domain_pool_.size()) ||
            r.term_at + r.num_term > static_cast<int64_t>(term_pool_.size()) ||
            r.afe_at + r.num_afe > static_cast<int64_t>(afe_pool_.size()))
            return "disjunctive constraint " + num(k) + " reaches beyond its pools";
        int64_t sizes = 0, dims = 0;
        for (int64_t t = 0; t < v.num_term; ++t) sizes += v.term_sizes[t];
        if (sizes != v.num_domain) return "the term sizes of disjunctive constraint " + num(k) + " do not add up";
        for (int64_t d = 0; d < v.num_domain; ++d) {
            if (v.domains[d] < 0 || v.domains[d] >= domains.num_domain())
                return "disjunctive constraint " + num(k) + " refers to domain " + num(v.domains[d]);
            dims += domains.domain_n(v.domains[d]);
        }
        if (dims != v.num_afe) return "disjunctive constraint " + num(k) + " does not have the dimension of its domains";
        for (int64_t a = 0; a < v.num_afe; ++a)
            if (v.afes[a] < 0 || v.afes[a] >= numafe)
                return "disjunctive constraint " + num(k) + " refers to affine expression " + num(v.afes[a]);
        total.num_domain += r.num_domain;
        total.num_term += r.num_term;
        total.num_afe += r.num_afe;
    }
    if (total.num_domain != live_.num_domain || total.num_term != live_.num_term || total.num_afe != live_.num_afe)
        return "the disjunctive constraint totals disagree with the constraints";
    return {};
}

}  // namespace vlt::model
