"""A prepared resolver as a Python team would write one for a service.

The packs are read once, with the standard library's parsers, when the
resolver is built; each query then costs `json.loads`, the decision and
`json.dumps` of the answer. The peer `zorv_tools.PackSet` is measured
against; on valid input it returns exactly PackSet's text, which the
benchmark checks before timing.
"""

import json

import reference_resolver as ref


class PreparedResolver:
    def __init__(self, packs_json, json_loads=json.loads):
        self._json_loads = json_loads
        packs = ref.Resolver()._parse(packs_json, ref.PACKS_ERROR)
        if not isinstance(packs, dict) or not all(isinstance(v, str) for v in packs.values()):
            raise ValueError(ref.PACKS_ERROR + "expected a map of strings")
        reader = ref.Resolver()
        self._packs = {key: reader.read_pack(text) for key, text in packs.items()}

    def resolve(self, query_json, strictness_override=None):
        try:
            query = self._json_loads(query_json)
        except ValueError as fault:
            raise ValueError(ref.QUERY_ERROR + str(fault)) from None
        ref._check_query(query)
        primary = f"{query['profile']}/{query['domain']}.zorv.toml"
        for source in (primary, f"{query['profile']}/{query['domain']}.toml"):
            if source in self._packs:
                decision = ref.decide_read_pack(self._packs[source], source, strictness_override, query)
                break
        else:
            decision = ref._fall_back(query, f"<missing:{primary}>")
        return json.dumps(ref._wire_decision(decision), **ref._COMPACT)
