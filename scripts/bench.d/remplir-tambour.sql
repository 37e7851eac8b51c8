-- The whole drum loaded: a phone of the first tile in every upper location, a 10-euro top-up
-- in every lower one, each with its own numbers (the delivery checks them).
UPDATE EmplacementsMachine1 SET
    Reference = CASE WHEN Etage >= 3 THEN 101 ELSE 201 END,
    IMEI = CASE WHEN Etage >= 3 THEN printf('3520910%08d', NoEmpl) END,
    NoSIM = CASE WHEN Etage >= 3 THEN printf('893301470%010d', NoEmpl)
                 ELSE printf('72025830%08d', NoEmpl) END,
    EAN13 = CASE WHEN Etage >= 3 THEN '3760123001014' ELSE '3760123002011' END,
    NoCommande = 'CMD-BANC';
