// The catalogue's table of record: 115 releases in catalogue order. Entries of one game stand
// together; a patchable game has exactly one kIwadBase entry, an identification-only game has
// kIwadNoPatch on all of its entries.
#include "catalogue/catalogue.h"

namespace tvl {

// clang-format off
IwadRecord IwadCatalogue[kIwadCount] = {
    {-1, u"doom", u"v11", u"Doom retail v1.1", "df0040ccb29cc1622e74ceb3b7793a2304cca2c8", 0},  // 0
    {-1, u"doom", u"v12", u"Doom retail v1.2", "b5f86a559642a2b3bdfb8a75e91c8da97f057fe6", 0},  // 1
    {-1, u"doom", u"v1666", u"Doom retail v1.666", "2e89b86859acd9fc1e552f587b710751efcffa8e", 0},  // 2
    {-1, u"doom", u"v18", u"Doom retail v1.8", "2c8212631b37f21ad06d18b5638c733a75e179ff", 0},  // 3
    {-1, u"doom", u"v19", u"Doom retail v1.9", "7742089b4468a736cadb659a7deca3320fe6dcbd", 0},  // 4
    {-1, u"doom", u"u19", u"The Ultimate Doom retail v1.9", "9b07b02ab3c275a6a7570c3f73cc20d63a0e3833", kIwadBase},  // 5
    {-1, u"doom", u"u19bfg", u"The Ultimate Doom (Doom 3 BFG Edition)", "e5ec79505530e151ff0e6f517f3ce1fd65969c46", 0},  // 6
    {-1, u"doom", u"u19bfgxbox", u"The Ultimate Doom (Doom 3 BFG Edition, Xbox 360)", "d6a9f0172eca101471128ec61be975361f2ad28e", 0},  // 7
    {-1, u"doom", u"pocketpc", u"The Ultimate Doom (Pocket PC)", "1d3c00534c452e266012e28ddc399ffe4d9ac8ed", 0},  // 8
    {-1, u"doom", u"psn", u"The Ultimate Doom (PSN)", "117015379c529573510be08cf59810aa10bb934e", 0},  // 9
    {-1, u"doom", u"u19unity10", u"The Ultimate Doom (Unity port v1.0)", "f770111ca9eb6d49aead51fcbd398719b462e64b", 0},  // 10
    {-1, u"doom", u"u19unity11", u"The Ultimate Doom (Unity port v1.1)", "08ab2507e1d525c4c06b6df4f6d5862568a6b009", 0},  // 11
    {-1, u"doom", u"u19unity13", u"The Ultimate Doom (Unity port v1.3)", "2a8a1ce0f29497a2781b2902c76115fd60d8bbf8", 0},  // 12
    {-1, u"doom", u"xbla", u"The Ultimate Doom (XBLA)", "37de4510216eb3ce9a835dd939109443375d10c5", 0},  // 13
    {-1, u"doom", u"xbox", u"The Ultimate Doom (Xbox)", "1d1d4f69fe14fa255228d8243470678b1b4efdc5", 0},  // 14
    {-1, u"sdoom", u"v10", u"Shareware Doom v1.0", "fc0359e191bd257b3507863ae412ef3250515866", 0},  // 15
    {-1, u"sdoom", u"v11", u"Shareware Doom v1.1", "d4dc6806abd96bd93570c8df436fb6956e13d910", 0},  // 16
    {-1, u"sdoom", u"v12", u"Shareware Doom v1.2", "77ef34de7f13dc36b792fb82ed6805e9c1dc7afc", 0},  // 17
    {-1, u"sdoom", u"v125", u"Shareware Doom v1.25", "72caf585f7ce56861d25f8580c1cc82bf50abd1b", 0},  // 18
    {-1, u"sdoom", u"v14", u"Shareware Doom v1.4beta", "b4a8e93f1f9544210a173035a0b04c19eb283a2a", 0},  // 19
    {-1, u"sdoom", u"v15", u"Shareware Doom v1.5beta", "b559ba93d0a96e242eb6ded9deeedbd6f79d40fc", 0},  // 20
    {-1, u"sdoom", u"v16", u"Shareware Doom v1.6beta", "1437fc1ac25a17d5b3cef4c9d2f74e40cae3d231", 0},  // 21
    {-1, u"sdoom", u"v1666", u"Shareware Doom v1.666", "81535778d0d4c0c7aa8616fbfd3607dfb3dfd643", 0},  // 22
    {-1, u"sdoom", u"v18", u"Shareware Doom v1.8", "c6612ac5a8ac2e2a1d707f9b2869af820efb7c50", 0},  // 23
    {-1, u"sdoom", u"v19", u"Shareware Doom v1.9", "5b2e249b9c5133ec987b3ea77596381dc0d6bc1d", kIwadBase},  // 24
    {-1, u"doom2", u"v1666", u"Doom 2 retail v1.666", "6d559b7ceece4f5ad457415049711992370d520a", 0},  // 25
    {-1, u"doom2", u"v1666g", u"Doom 2 retail v1.666 (German)", "a4ce5128d57cb129fdd1441c12b58245be55c8ce", 0},  // 26
    {-1, u"doom2", u"v17", u"Doom 2 retail v1.7", "78009057420b792eacff482021db6fe13b370dcc", 0},  // 27
    {-1, u"doom2", u"v17a", u"Doom 2 retail v1.7a", "70192b8d5aba65c7e633a7c7bcfe7e3e90640c97", 0},  // 28
    {-1, u"doom2", u"v18", u"Doom 2 retail v1.8", "79c283b18e61b9a989cfd3e0f19a42ea98fda551", 0},  // 29
    {-1, u"doom2", u"v18f", u"Doom 2 retail v1.8 (French)", "d510c877031bbd5f3d198581a2c8651e09b9861f", 0},  // 30
    {-1, u"doom2", u"v19", u"Doom 2 retail v1.9", "7ec7652fcfce8ddc6e801839291f0e28ef1d5ae7", kIwadBase},  // 31
    {-1, u"doom2", u"bethesda", u"Doom 2 (Bethesda.net)", "f1b6ba94352d53f646b67c01d2da88c5c40e3179", 0},  // 32
    {-1, u"doom2", u"v19bfg", u"Doom 2 (Doom 3 BFG Edition)", "a59548125f59f6aa1a41c22f615557d3dd2e85a9", 0},  // 33
    {-1, u"doom2", u"v19bfgxbox", u"Doom 2 (Doom 3 BFG Edition, Xbox 360)", "b7ba1c68631023ea1aab1d7b9f7f6e9afc508f39", 0},  // 34
    {-1, u"doom2", u"psn", u"Doom 2 (PSN)", "ca8db908a7c9fbac764f34c148f0bcc78d18553e", 0},  // 35
    {-1, u"doom2", u"v19unity10", u"Doom 2 (Unity port v1.0)", "9b39107b5bcfd1f989bcfe46f68dbc1f49222922", 0},  // 36
    {-1, u"doom2", u"v19unity11", u"Doom 2 (Unity port v1.1)", "b723882122e90b61a1d92a11dcfcf9cbf95a407e", 0},  // 37
    {-1, u"doom2", u"v19unity13", u"Doom 2 (Unity port v1.3)", "9574851209c9dfbede56db0dee0660ecd51e6150", 0},  // 38
    {-1, u"doom2", u"xbla", u"Doom 2 (XBLA)", "55e445badd63d8841ebea887910c26c62c7f525e", 0},  // 39
    {-1, u"doom2", u"xbox", u"Doom 2 (Xbox)", "1c91d86cd8a2f3817227986503a6672a5e1613f0", 0},  // 40
    {-1, u"doom2", u"zodiac", u"Doom 2 (Zodiac)", "2cda310805397ae44059bbcaed3cd602f4864a82", 0},  // 41
    {-1, u"tnt", u"v19", u"TNT: Evilution", "4a65c8b960225505187c36040b41a40b152f8f3e", kIwadBase},  // 42
    {-1, u"tnt", u"v19anth", u"TNT: Evilution (id Anthology)", "bcbdbe455828ba20f34980e1172fedf5cb424a40", 0},  // 43
    {-1, u"tnt", u"psnusa", u"TNT: Evilution (PSN, USA)", "139e26d801a64b404b8d898defca10227a61867b", 0},  // 44
    {-1, u"tnt", u"psneur", u"TNT: Evilution (PSN, Europe)", "5066833da047117241cdda05a708b009eb266c91", 0},  // 45
    {-1, u"tnt", u"v19unity10", u"TNT: Evilution (Unity port v1.0)", "503271390606ebded04a2cfaa1a4e249c0313a9d", 0},  // 46
    {-1, u"tnt", u"v19unity13", u"TNT: Evilution (Unity port v1.3)", "ca0f0495a6c2813b49620202774c56560d6d7621", 0},  // 47
    {-1, u"plutonia", u"v19", u"The Plutonia Experiment", "f131cbe1946d7fddb3caec4aa258c83399c21e60", kIwadBase},  // 48
    {-1, u"plutonia", u"v19anth", u"The Plutonia Experiment (id Anthology)", "c5c59f00cc4702746b4eda9ddf9faecf77a80893", 0},  // 49
    {-1, u"plutonia", u"psnusa", u"The Plutonia Experiment (PSN, USA)", "327f8c41ebd4138354e9fca63cebbbd1b9489749", 0},  // 50
    {-1, u"plutonia", u"psneur", u"The Plutonia Experiment (PSN, Europe)", "85c3517434135a5886111b324955f9288c01046c", 0},  // 51
    {-1, u"plutonia", u"v19unity10", u"The Plutonia Experiment (Unity port v1.0)", "54e27b5791fbc5677bf7e83c1de3a92ea3ef935b", 0},  // 52
    {-1, u"plutonia", u"v19unity13", u"The Plutonia Experiment (Unity port v1.3)", "20fd23ee410c466b263a741bbd53bbef573ab47d", 0},  // 53
    {-1, u"heretic", u"v10", u"Heretic retail v1.0", "b5a6cc79cde48d97905b44282e82c4c966a23a87", 0},  // 54
    // Heretic v1.1 carries the id v12: its patches and their headers name it so, and one id
    // keeps routes, patch names and stored streams in agreement.
    {-1, u"heretic", u"v12", u"Heretic retail v1.1", "a54c5d30629976a649119c5ce8babae2ddfb1a60", 0},  // 55
    {-1, u"heretic", u"v13", u"Heretic retail v1.3", "f489d479371df32f6d280a0cb23b59a35ba2b833", kIwadBase},  // 56
    {-1, u"hexen", u"v10", u"Hexen retail v1.0", "ac129c4331bf26f0f080c4a56aaa40d64969c98a", 0},  // 57
    {-1, u"hexen", u"v11", u"Hexen retail v1.1", "4b53832f0733c1e29e5f1de2428e5475e891af29", kIwadBase},  // 58
    {-1, u"hexen", u"mac", u"Hexen (Mac)", "4343fbe5aef905ef6d077a1517a50c919e5cc906", 0},  // 59
    {-1, u"hexen", u"beta", u"Hexen (Beta)", "ae797f5fdce845be24a7a24dd5bfc3e762a17bbe", 0},  // 60
    {-1, u"hexdd", u"v10", u"Hexen: Deathkings of the Dark Citadel v1.0", "c3065527d62b05a930fe75fe8181a64fb1982976", 0},  // 61
    {-1, u"hexdd", u"v11", u"Hexen: Deathkings of the Dark Citadel v1.1", "081f6a2024643b54ef4a436a85508539b6d20a1e", kIwadBase},  // 62
    {-1, u"strife1", u"v11", u"Strife v1.1", "eb0f3e157b35c34d5a598701f775e789ec85b4ae", 0},  // 63
    {-1, u"strife1", u"v12", u"Strife v1.2", "64c13b951a845ca7f8081f68138a6181557458d1", kIwadBase},  // 64
    {-1, u"sve", u"v10", u"Strife: Veteran Edition v1.0", "4768b23a2d4778862e15a14ef744da121f711d5b", 0},  // 65
    {-1, u"sve", u"v11", u"Strife: Veteran Edition v1.1", "08ba56e6171cec65c10c9feff8705124e72421f3", 0},  // 66
    {-1, u"sve", u"v12", u"Strife: Veteran Edition v1.2", "539ff0d7d9971c2c33e663dca8072c629e177dfb", 0},  // 67
    {-1, u"sve", u"switch10", u"Strife: Veteran Edition (Switch) v1.0", "b24ff7127da6cc44b61e8c6e551eaffacb674751", 0},  // 68
    {-1, u"sve", u"v13", u"Strife: Veteran Edition v1.3", "69d896243ec17059d7ffeb6448118ea5d2621253", kIwadBase},  // 69
    {-1, u"voices", u"", u"Strife voices", "ec6883100d807b894a98f426d024d22c77b63e7f", kIwadNoPatch},  // 70
    {-1, u"nerve", u"bfg", u"No Rest for the Living (original)", "3451288383fb16e196f273d9f85d58c1fda97bf4", kIwadBase},  // 71
    {-1, u"nerve", u"unity11", u"No Rest for the Living (Unity port v1.1)", "321e951f6cc6e9d51bc16eac53e0d001f0f3f338", 0},  // 72
    {-1, u"nerve", u"unity12", u"No Rest for the Living (Unity port v1.2)", "2c5c4aa07eea8820a65dbf282d8b6d8358bb74fa", 0},  // 73
    {-1, u"nerve", u"unity13", u"No Rest for the Living (Unity port v1.3)", "6ab960ae23430ca2ced7db3edd8075b7e0158f26", 0},  // 74
    {-1, u"freedoom1", u"v0.12.1", u"Freedoom Phase 1 v0.12.1", "e9bf428b73a04423ea7a0e9f4408f71df85ab175", kIwadNoPatch},  // 75
    {-1, u"freedoom1", u"v0.12.0", u"Freedoom Phase 1 v0.12.0", "351a207b5fe520ea618bc8659d176f4c39047d20", kIwadNoPatch},  // 76
    {-1, u"freedoom1", u"v0.11.3", u"Freedoom Phase 1 v0.11.3", "36db0eb476486fa56c43f24d9b23e9d8afdbbff5", kIwadNoPatch},  // 77
    {-1, u"freedoom1", u"v0.11.2", u"Freedoom Phase 1 v0.11.2", "7931a41e6b1c6b7c701ab16d7355e7685f96b1cc", kIwadNoPatch},  // 78
    {-1, u"freedoom1", u"v0.11.1", u"Freedoom Phase 1 v0.11.1", "8b4385450d3c622ca7aae3d00c7e15829da264cf", kIwadNoPatch},  // 79
    {-1, u"freedoom1", u"v0.11.0", u"Freedoom Phase 1 v0.11.0", "9e38dcc0d1e9fbd20382ba19a6bdf11f7a2b0502", kIwadNoPatch},  // 80
    {-1, u"freedoom1", u"v0.10.1", u"Freedoom Phase 1 v0.10.1", "ffcc7f7b568a7864d1a11a8d724b97127ea3c688", kIwadNoPatch},  // 81
    {-1, u"freedoom1", u"v0.10.0", u"Freedoom Phase 1 v0.10.0", "b9ea49cac933202f3fd58f90a7510b0807ba05a5", kIwadNoPatch},  // 82
    {-1, u"freedoom1", u"v0.9", u"Freedoom Phase 1 v0.9", "b510054f277c3ec786648c1b8bcb9065b802b52a", kIwadNoPatch},  // 83
    {-1, u"freedoom2", u"v0.12.1", u"Freedoom Phase 2 v0.12.1", "51c997f430dc12abba7888c2d83c237a8e0758a7", kIwadNoPatch},  // 84
    {-1, u"freedoom2", u"v0.12.0", u"Freedoom Phase 2 v0.12.0", "18c6ef3f269a80feed16eb46c7577d29d4209098", kIwadNoPatch},  // 85
    {-1, u"freedoom2", u"v0.11.3", u"Freedoom Phase 2 v0.11.3", "0c03d1f754b98c53f292f66bc9505a29f47c6a9f", kIwadNoPatch},  // 86
    {-1, u"freedoom2", u"v0.11.2", u"Freedoom Phase 2 v0.11.2", "26fba39016c26cf58756aa2cbf715a34f83857d3", kIwadNoPatch},  // 87
    {-1, u"freedoom2", u"v0.11.1", u"Freedoom Phase 2 v0.11.1", "f81e8bb84000daecd682abf95357cf55fb57fbb7", kIwadNoPatch},  // 88
    {-1, u"freedoom2", u"v0.11.0", u"Freedoom Phase 2 v0.11.0", "25110745824a107f80b078cf368a1045661df3b5", kIwadNoPatch},  // 89
    {-1, u"freedoom2", u"v0.10.1", u"Freedoom Phase 2 v0.10.1", "cf3b383245f05bd655a1d2f1c177d0d5837aac26", kIwadNoPatch},  // 90
    {-1, u"freedoom2", u"v0.10.0", u"Freedoom Phase 2 v0.10.0", "f2f03b807057d07adb7091a0e8cdd6290760a8cf", kIwadNoPatch},  // 91
    {-1, u"freedoom2", u"v0.9", u"Freedoom Phase 2 v0.9", "c6df51fa16a0502db77b4eb165155bc56e78dde3", kIwadNoPatch},  // 92
    {-1, u"freedm", u"v0.12.1", u"FreeDM v0.12.1", "61065a41a391cd2e4bff69488be36773754354ab", kIwadNoPatch},  // 93
    {-1, u"freedm", u"v0.12.0", u"FreeDM v0.12.0", "3ea8429890c3fe5455783575598d52ff4a72758d", kIwadNoPatch},  // 94
    {-1, u"freedm", u"v0.11.3", u"FreeDM v0.11.3", "7e979209685ff81f4d709e0926ba585a37d2e35a", kIwadNoPatch},  // 95
    {-1, u"freedm", u"v0.11.2", u"FreeDM v0.11.2", "05348a5c7801d61cce779940f3e7015e16aadcf4", kIwadNoPatch},  // 96
    {-1, u"freedm", u"v0.11.1", u"FreeDM v0.11.1", "884c0c67a062780c40d7264215c3e7c858ea19ef", kIwadNoPatch},  // 97
    {-1, u"freedm", u"v0.11.0", u"FreeDM v0.11.0", "09e952395598de163ecd60d846d1ad8f06567e8e", kIwadNoPatch},  // 98
    {-1, u"freedm", u"v0.10.1", u"FreeDM v0.10.1", "cffed419b55732a5dd2ec3366c1ae655471b9414", kIwadNoPatch},  // 99
    {-1, u"freedm", u"v0.10.0", u"FreeDM v0.10.0", "f1058e38ee3d02ffbbb3ecd5bbced9035ecd330e", kIwadNoPatch},  // 100
    {-1, u"freedm", u"v0.9", u"FreeDM v0.9", "aa71fa61170a021de121fdfceeb80ed08b042b32", kIwadNoPatch},  // 101
    {-1, u"hacx", u"v10", u"Hacx v1.0", "dc6df745e342eaea325677a40184e10cbc6629d7", 0},  // 102
    {-1, u"hacx", u"v11", u"Hacx v1.1", "1125a16243d1e1d5259e0f387d955382432f1424", 0},  // 103
    {-1, u"hacx", u"v12", u"Hacx v1.2", "9fd331b9d53006af1884e89eaeb97b17b8572b71", kIwadBase},  // 104
    {-1, u"harmony", u"v10", u"Harmony v1.0", "4c77354915015ccb650ae9708eed3c8219730be9", 0},  // 105
    {-1, u"harmony", u"v11", u"Harmony v1.1", "d7c5f9095fd5f1ebfe14ecd97ca31503e2a02964", kIwadBase},  // 106
    {-1, u"fakeiwad", u"", u"Fake IWAD (mimics doom2.wad)", "fc6419db9b9bab49e9cb2909d0102a1f2fef712c", kIwadNoPatch},  // 107
    {-1, u"megagame", u"", u"MM8BDM IWAD (mimics doom2.wad)", "5afe033251154eeb7ced8d6a159fc7ac16a0e423", kIwadNoPatch},  // 108
    {-1, u"chex", u"", u"Chex Quest", "eca9cff1014ce5081804e193588d96c6ddb35432", kIwadNoPatch},  // 109
    {-1, u"chex2", u"", u"Chex Quest 2", "d5b970834b8ff364d377ef04eb7d12fa6035e10a", kIwadNoPatch},  // 110
    {-1, u"chex3", u"v14", u"Chex Quest 3 v1.4", "f0581563604543060c1dce2f148fd74412adb8b8", kIwadBase},  // 111
    {-1, u"chex3", u"moddb", u"Chex Quest 3 (unknown ModDB version)", "e93b73ce5f68e21d9e4fb60f3838b5abddb0aacb", 0},  // 112
    {-1, u"doom64", u"v10", u"Doom 64 re-release v1.0", "ae363db8cd5645e1753d9bacc82cc0724e8e7f21", kIwadBase},  // 113
    {-1, u"doom64", u"v11", u"Doom 64 re-release v1.1", "d041456bea851c173f65ac6ab3f2ee61bb0b8b53", 0},  // 114
};
// clang-format on

}  // namespace tvl
