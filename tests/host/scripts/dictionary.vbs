' The named item is a stock object: created windowless and scriptable.
Dict.Add "alpha", 1
Dict.Add "beta", 2
Host.Echo "count", Dict.Count, Dict.Item("beta")
If Dict.Exists("alpha") Then Host.Quit 40 + Dict.Count
Host.Quit 1
