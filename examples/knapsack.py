"""A knapsack: pick items of the greatest total value within a weight limit
(a mixed-integer problem with binary variables)."""
import itertools

import velto

items = {"tent": (10, 5), "stove": (13, 7), "camera": (7, 4), "book": (8, 4), "snacks": (4, 2), "jacket": (9, 5)}
capacity = 15

with velto.Model() as m:
    take = m.add_variables(len(items), lb=0, ub=1, integer=True, obj=[v for v, _ in items.values()],
                           names=list(items))
    m.add_constraint({j: w for j, (_, w) in zip(take, items.values())}, ub=capacity, name="weight")
    m.set_objective(sense="maximize")
    r = m.solve(mip_gap=0.0)
    chosen = [name for name, x in zip(items, r.x) if x > 0.5]
    print(f"{r.status.name}: value {r.objective:g} with {', '.join(chosen)} "
          f"(bound {r.dual_bound:g}, {r.nodes} nodes, {r.solve_time:.3f} s)")

best = max(sum(items[n][0] for n in subset) for k in range(len(items) + 1)
           for subset in itertools.combinations(items, k) if sum(items[n][1] for n in subset) <= capacity)
assert r.status == velto.Status.OPTIMAL and abs(r.objective - best) < 1e-9
