Store.Add("k", "v");
Host.Echo("item", Store.Item("k"));
Host.Quit(Store.Count);
